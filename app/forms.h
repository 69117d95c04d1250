#pragma once

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm7;
class TForm8;
class TForm9;
class TForm10;
class TForm11;
class TForm15;
class TForm16;
class TForm17;
class TForm18;
class TForm19;
class TForm20;
class TForm21;
class TForm22;
class TForm23;
class TForm24;
class TForm25;
class TForm26;
class TForm27;
class TForm29;

// The program's windows, each created once at start-up and owned by it. Handed to the windows that
// open others, so an opener can prepare the window it opens through that window's public members.
// A window not built into the program yet is null.
struct Forms
{
    TForm1 *Form1 = nullptr;
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    TForm4 *Form4 = nullptr;
    TForm5 *Form5 = nullptr;
    TForm7 *Form7 = nullptr;
    TForm8 *Form8 = nullptr;
    TForm9 *Form9 = nullptr;
    TForm10 *Form10 = nullptr;
    TForm11 *Form11 = nullptr;
    TForm15 *Form15 = nullptr;
    TForm16 *Form16 = nullptr;
    TForm17 *Form17 = nullptr;
    TForm18 *Form18 = nullptr;
    TForm19 *Form19 = nullptr;
    TForm20 *Form20 = nullptr;
    TForm21 *Form21 = nullptr;
    TForm22 *Form22 = nullptr;
    TForm23 *Form23 = nullptr;
    TForm24 *Form24 = nullptr;
    TForm25 *Form25 = nullptr;
    TForm26 *Form26 = nullptr;
    TForm27 *Form27 = nullptr;
    TForm29 *Form29 = nullptr;
};
