// Entry point of the GUI test programs: a QApplication on the offscreen
// platform, so the tests run without a display. The test command runs them
// once more under Qt's own UNIX event dispatcher (QT_NO_GLIB=1), where a
// second notifier on a descriptor silently replaces the first: Qt's warning
// about it fails the test that caused it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QString>

namespace {

QString notifierWarning;

void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (text.contains("Multiple socket notifiers")) {
        notifierWarning = text;
    }
    if (type != QtDebugMsg && type != QtInfoMsg) {
        fprintf(stderr, "%s\n", qPrintable(text));
    }
}

class NotifierWarningCheck : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override {
        QCoreApplication::processEvents();  // what a closed port left queued
        if (!notifierWarning.isEmpty()) {
            ADD_FAILURE() << notifierWarning.toStdString();
            notifierWarning.clear();
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(OnQtMessage);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new NotifierWarningCheck);
    return RUN_ALL_TESTS();
}
