#include "ReaderPane.h"

#include <QPrinter>

void ReaderPane::limitResolution(QPrinter *printer)
{
    if (printer && printer->resolution() > kPrintDotsPerInch)
        printer->setResolution(kPrintDotsPerInch);
}
