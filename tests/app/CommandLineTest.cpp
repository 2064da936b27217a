// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/CommandLine.h"

#include <QTest>

using namespace lumora;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void commandLineTakesOnePicture_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing") << QStringList{} << ""
                                 << "";
        QTest::newRow("a picture") << QStringList{"cat.png"} << "cat.png"
                                   << "";
        QTest::newRow("a name like an option") << QStringList{"--", "-x.png"} << "-x.png"
                                               << "";
        QTest::newRow("a lone dash is a name") << QStringList{"-"} << "-"
                                               << "";
        QTest::newRow("unknown option") << QStringList{"--open", "cat.png"} << ""
                                        << "unknown option '--open'";
        QTest::newRow("two pictures") << QStringList{"a.png", "b.png"} << ""
                                      << "only one picture can be opened";
        // Qt's own options are left to Qt, their values with them.
        QTest::newRow("qt option and its value")
            << QStringList{"-platform", "xcb", "cat.png"} << "cat.png"
            << "";
        QTest::newRow("qt option with two dashes")
            << QStringList{"--style", "fusion", "-reverse", "cat.png"} << "cat.png"
            << "";
        QTest::newRow("qt option with its value after =")
            << QStringList{"-stylesheet=a.qss", "cat.png"} << "cat.png"
            << "";
        QTest::newRow("the session's restart")
            << QStringList{"-session", "1a2b", "-name", "x"} << ""
            << "";
        QTest::newRow("a value that looks like a picture is no picture")
            << QStringList{"-display", ":1", "a.png", "-title", "b.png"} << "a.png"
            << "";
        QTest::newRow("qt's name inside another option")
            << QStringList{"-platforms", "cat.png"} << ""
            << "unknown option '-platforms'";
        QTest::newRow("an option after the picture") << QStringList{"cat.png", "-x"} << ""
                                                     << "unknown option '-x'";
    }
    void commandLineTakesOnePicture() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, picture);
        QFETCH(QString, error);
        std::vector<QByteArray> bytes{"lumora"};
        for (const QString& argument : arguments)
            bytes.push_back(argument.toLocal8Bit());
        std::vector<const char*> argv;
        for (const QByteArray& argument : bytes)
            argv.push_back(argument.constData());
        const CommandLine command = ParseCommandLine(int(argv.size()), argv.data());
        QCOMPARE(command.picture, picture);
        QCOMPARE(command.error, error);
    }

    void helpAndVersionAreFoundBeforeQt() {
        const char* help[] = {"lumora", "-platform", "xcb", "--help"};
        const char* version[] = {"lumora", "cat.png", "-V"};
        const char* afterEnd[] = {"lumora", "--", "--help"};
        QCOMPARE(FindEarlyAnswer(4, help), EarlyAnswer::Help);
        QCOMPARE(FindEarlyAnswer(3, version), EarlyAnswer::Version);
        QCOMPARE(FindEarlyAnswer(3, afterEnd), EarlyAnswer::None);
    }
};

QTEST_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
