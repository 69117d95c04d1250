#include "reports/period_layouts.h"

TForm16::TForm16(TDataModule6 &dm, QWidget *parent)
    : PeriodLayout(dm, QStringLiteral("TForm16"),
                   reporting::periodReportDesign(reporting::PeriodReport::Workers), parent)
    , t_Report(query())
{}

TForm17::TForm17(TDataModule6 &dm, QWidget *parent)
    : PeriodLayout(dm, QStringLiteral("TForm17"),
                   reporting::periodReportDesign(reporting::PeriodReport::Products), parent)
    , t_Report(query())
{}

TForm20::TForm20(TDataModule6 &dm, QWidget *parent)
    : PeriodLayout(dm, QStringLiteral("TForm20"),
                   reporting::periodReportDesign(reporting::PeriodReport::WorkersDetailed), parent)
    , w_Report(query())
{}

TForm21::TForm21(TDataModule6 &dm, QWidget *parent)
    : PeriodLayout(dm, QStringLiteral("TForm21"),
                   reporting::periodReportDesign(reporting::PeriodReport::ProductsDetailed), parent)
    , i_Report(query())
{}
