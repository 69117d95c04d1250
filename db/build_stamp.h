#pragma once

// When this build was made: date as YYYYMMDD and time of day in seconds since midnight.
struct BuildStamp
{
    int date = 19000101;
    int time = 0;
};

// Defined in a source generated at build time and linked only into the executables.
BuildStamp buildStamp();
