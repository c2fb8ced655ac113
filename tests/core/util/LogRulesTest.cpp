// The log filter: quiet by default, the program's detail with --verbose.
#include "core/util/LogRules.h"
#include "core/util/Logging.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

namespace
{

Q_LOGGING_CATEGORY(lcOther, "qt.other.library")

TEST(LogRules, QuietByDefaultDetailedWhenVerbose)
{
    struct Row {
        bool verbose;
        const QLoggingCategory &category;
        bool debug, info, warning;
    };
    const QList<Row> rows {
        { false, lcApp(), false, false, true },
        { false, lcStore(), false, false, true },
        { false, lcOther(), false, false, true },
        { true, lcApp(), true, true, true },
        { true, lcSync(), true, true, true },
        { true, lcOther(), false, false, true },
    };
    for (const Row &row : rows) {
        LogRules::install(row.verbose);
        const std::string name
            = std::string(row.category.categoryName()) + (row.verbose ? " verbose" : " quiet");
        EXPECT_EQ(row.category.isDebugEnabled(), row.debug) << name;
        EXPECT_EQ(row.category.isInfoEnabled(), row.info) << name;
        EXPECT_EQ(row.category.isWarningEnabled(), row.warning) << name;
        EXPECT_TRUE(row.category.isCriticalEnabled()) << name;
    }
    QLoggingCategory::setFilterRules(QString());
}

} // namespace
