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

// Every window of the program, each created once at start-up and owned by the program; made when
// all of them exist, so none is ever missing. Windows do not see this set: each is handed only the
// windows it opens.
struct Forms
{
    TForm1 &Form1;
    TForm2 &Form2;
    TForm3 &Form3;
    TForm4 &Form4;
    TForm5 &Form5;
    TForm7 &Form7;
    TForm8 &Form8;
    TForm9 &Form9;
    TForm10 &Form10;
    TForm11 &Form11;
    TForm15 &Form15;
    TForm16 &Form16;
    TForm17 &Form17;
    TForm18 &Form18;
    TForm19 &Form19;
    TForm20 &Form20;
    TForm21 &Form21;
    TForm22 &Form22;
    TForm23 &Form23;
    TForm24 &Form24;
    TForm25 &Form25;
    TForm26 &Form26;
    TForm27 &Form27;
    TForm29 &Form29;
};
