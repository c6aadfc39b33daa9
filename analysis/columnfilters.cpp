#include "analysis/columnfilters.h"

#include "analysis/catalogaccess.h"
#include "analysis/errorreport.h"
#include "analysis/statementtools.h"
#include "platform/textfunctions.h"
#include "platform/userinteraction.h"

#include <QCoreApplication>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace condora {

bool prepareFilters(ado::Connection &connection, QStringList &filterList, FieldCatalog &catalog)
{
    try {
        // A list that was never given has no bounds: it becomes the single position 0.
        if (filterList.isEmpty()) {
            filterList = QStringList{QString()};
        }
        const int n = int(filterList.size()) - 1;
        if (catalog.isEmpty()) {
            throw RuntimeError::subscriptOutOfRange(u"the field catalog is missing"_s);
        }
        const int k = std::min(n, int(catalog.size()) - 1);

        for (int i = 1; i <= k; ++i) {
            ColumnInfo &column = catalog[i];
            if (!column.usable) {
                continue;
            }
            QString &filter = filterList[i];
            const QString f = text::trim(filter);
            filter = f;
            if (f.size() < 6) {
                if (!f.isEmpty()) {
                    filter = u" where "_s + f;
                }
            } else if (text::lower(text::left(f, 6)) != u"where "_s) {
                filter = u" where "_s + f;
            } else {
                filter = u" "_s + f;
            }
            column.filterClause = filter;

            const QString test = u"select "_s + column.colExpr + u" from "_s + column.tabName + column.filterClause;
            const QString rejection = testSql(connection, test);
            if (!rejection.isEmpty()) {
                messageBox(QCoreApplication::translate("condora::ColumnFilters", "No.%1 filter condition is incorrect!")
                               .arg(i)
                           + u"\r\n"_s + rejection);
                return false;
            }
        }
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

} // namespace condora
