#include "support/testmain.h"

// The condition builder's test classes share one executable; each runs in turn.
int runValueReadingTests(int argc, char **argv);
int runConditionComposerTests(int argc, char **argv);
int runConditionValidatorTests(int argc, char **argv);
int runConditionDatabaseTests(int argc, char **argv);
int runConditionTermTests(int argc, char **argv);
int runConditionModelTests(int argc, char **argv);

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("ODBCSYSINI").isEmpty()) {
        qputenv("ODBCSYSINI", CONDORA_TEST_ODBCSYSINI);
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    int failures = 0;
    failures += runValueReadingTests(argc, argv);
    failures += runConditionComposerTests(argc, argv);
    failures += runConditionValidatorTests(argc, argv);
    failures += runConditionDatabaseTests(argc, argv);
    failures += runConditionTermTests(argc, argv);
    failures += runConditionModelTests(argc, argv);
    return failures;
}
