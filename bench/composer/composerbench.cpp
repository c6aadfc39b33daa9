// Composes a condition grid of 500 used rows (every type class, brackets and logical words)
// and reports the time per call, next to a plain copy of the same grid's text (every cell read
// through TextMatrix into a list) measured in the same run. Two composer figures: the steady
// state that every keystroke in the Value editor meets (cells already trimmed), and a first
// call on a grid whose Operator and Logical cells still carry their blanks.
//
// Usage: bench_composer [rows] [repetitions]   (defaults 500 and 200)

#include "analysis/queryrun.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionvalidator.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/userinteraction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

struct Sample
{
    const char *column;
    const char *typeClass;
    const char *op;
    const char *value;
};

const Sample samples[] = {
    {"price", "number", "> ", "12.5"},           {"name", "string", "= ", "O'Brien"},
    {"notes", "lstring", "include ", "50%_off"}, {"hired", "date", ">= ", "2001-1-5"},
    {"stamp", "date", "< ", "2001-1-5 9:05"},    {"active", "boolean", "true ", ""},
    {"name", "string", "not null ", ""},         {"notes", "lstring", "not include ", "x"},
};
constexpr int sampleCount = int(sizeof(samples) / sizeof(samples[0]));

void fillGrid(FlexGrid &grid, int rows)
{
    grid.setFormatString(
        u"   (|<Column                   |<Operator     |<Value                    |<)   |<Logical   |<colIndex"_s);
    grid.setRows(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        const int i = (r - 1) % sampleCount;
        const Sample &s = samples[i];
        grid.setTextMatrix(r, 0, r % 4 == 1 ? u"("_s : QString());
        grid.setTextMatrix(r, 1, QString::fromLatin1(s.column));
        grid.setTextMatrix(r, 2, QString::fromLatin1(s.op));
        grid.setTextMatrix(r, 3, QString::fromLatin1(s.value));
        grid.setTextMatrix(r, 4, r % 4 == 0 ? u")"_s : QString());
        grid.setTextMatrix(r, 5, r % 2 ? u" And "_s : u" Or"_s);
        grid.setTextMatrix(r, 6, QString::number(i + 1));
    }
}

/// Median of `repetitions` timings of `work`, in microseconds.
double medianMicros(int repetitions, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    times.reserve(size_t(repetitions));
    QElapsedTimer timer;
    for (int i = 0; i < repetitions; ++i) {
        prepare();
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 500;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 200;
    if (rows < 1 || repetitions < 1) {
        std::fprintf(stderr, "usage: bench_composer [rows] [repetitions]\n");
        return 1;
    }

    RecordingUserInteraction quiet; // an error report would be recorded, not shown
    QueryRun state;
    state.dbKind = DbKind::Access;
    state.fieldCatalog = {ColumnInfo()};
    for (const Sample &s : samples) {
        ColumnInfo info;
        info.tabAlias = u"a"_s;
        info.colExpr = QString::fromLatin1(s.column);
        info.colName = info.colExpr;
        info.typeClass = typeClassFromText(QString::fromLatin1(s.typeClass));
        state.fieldCatalog.append(info);
    }
    state.baseSql = u"select a.id, a.name from emp a where a.id > 0 order by a.name"_s;
    // What the dialog does on each keystroke: read the grid's rows, compose them.
    const auto compose = [&state](const FlexGrid &g) {
        ConditionRows conditionRows;
        for (int r = 1; r < g.Rows(); ++r) {
            ConditionRow row;
            for (int c = 0; c < ConditionCol::Count; ++c) {
                row.setCell(c, g.TextMatrix(r, c));
            }
            conditionRows.append(row);
        }
        return composeCondition(conditionRows, state).condition;
    };

    FlexGrid grid;
    fillGrid(grid, rows);
    const int cols = grid.Cols();

    QStringList copy;
    const double copyMicros = medianMicros(
        repetitions, [] {},
        [&] {
            copy.clear();
            copy.reserve(qsizetype(grid.Rows()) * cols);
            for (int r = 0; r < grid.Rows(); ++r) {
                for (int c = 0; c < cols; ++c) {
                    copy.append(grid.TextMatrix(r, c));
                }
            }
        });

    QString condition = compose(grid);
    const double steadyMicros = medianMicros(repetitions, [] {}, [&] { condition = compose(grid); });
    const double firstMicros = medianMicros(
        std::max(1, repetitions / 10), [&] { fillGrid(grid, rows); }, [&] { condition = compose(grid); });

    if (!quiet.messages().isEmpty() || condition.isEmpty()) {
        std::fprintf(stderr, "composition failed\n");
        return 1;
    }
    std::printf("grid: %d condition rows x %d columns; condition %lld characters; median of %d runs\n", rows, cols,
                static_cast<long long>(condition.size()), repetitions);
    std::printf("plain copy of the grid text : %10.1f us per call (baseline)\n", copyMicros);
    std::printf("composeCondition, trimmed   : %10.1f us per call, ratio %.2f x the copy\n", steadyMicros,
                steadyMicros / copyMicros);
    std::printf("composeCondition, first call: %10.1f us per call, ratio %.2f x the copy\n", firstMicros,
                firstMicros / copyMicros);

    // Growth: the check OK and Verify run first, against a copy of the same grid's text, for
    // growing grids; the ratio should stay flat.
    std::printf("\nvalidateConditions against a plain copy of the grid text:\n");
    double firstRatio = 0;
    for (int size : {10, 100, 1000, 5000}) {
        FlexGrid sized;
        fillGrid(sized, size);
        ConditionRows sizedRows;
        for (int r = 1; r < sized.Rows(); ++r) {
            ConditionRow row;
            for (int c = 0; c < ConditionCol::Count; ++c) {
                row.setCell(c, sized.TextMatrix(r, c));
            }
            sizedRows.append(row);
        }
        const int runs = std::max(5, repetitions * 100 / size);
        const double copied = medianMicros(runs, [] {}, [&] {
            copy.clear();
            for (int r = 0; r < sized.Rows(); ++r) {
                for (int c = 0; c < cols; ++c) {
                    copy.append(sized.TextMatrix(r, c));
                }
            }
        });
        bool problem = false;
        const double validated =
            medianMicros(runs, [] {}, [&] { problem = validateConditions(sizedRows, state).has_value(); });
        const double ratio = validated / copied;
        firstRatio = firstRatio == 0 ? ratio : firstRatio;
        std::printf("  %5d rows: %10.1f us, copy %10.1f us, ratio %6.2fx (%.2f of the ratio at 10)%s\n", size,
                    validated, copied, ratio, ratio / firstRatio, problem ? ", a problem found" : "");
    }
    return 0;
}
