#pragma once

#include "reports/layout_holder.h"

// The holders of the four period reports; statements and layouts are the designs'
// (designs/period_designs.h).

// "Отчет по рабочим": per worker and nomenclature group the good pieces and the pay, with the
// worker's household-work figures and the period's totals.
class TForm16 : public PeriodLayout
{
    Q_OBJECT
public:
    explicit TForm16(TDataModule6 &dm, QWidget *parent = nullptr);
    Dataset &t_Report;
};

// "Отчет по продукции": per nomenclature group the good pieces and boxes of each operation.
class TForm17 : public PeriodLayout
{
    Q_OBJECT
public:
    explicit TForm17(TDataModule6 &dm, QWidget *parent = nullptr);
    Dataset &t_Report;
};

// "Детальный отчет по рабочим": per worker every product and operation, with his hour-paid work
// and the pay with and without the raise coefficient.
class TForm20 : public PeriodLayout
{
    Q_OBJECT
public:
    explicit TForm20(TDataModule6 &dm, QWidget *parent = nullptr);
    Dataset &w_Report;
};

// "Детальный отчет по продукции": per nomenclature group every product and operation with its
// pieces (rejects included), rejects, boxes and pay.
class TForm21 : public PeriodLayout
{
    Q_OBJECT
public:
    explicit TForm21(TDataModule6 &dm, QWidget *parent = nullptr);
    Dataset &i_Report;
};
