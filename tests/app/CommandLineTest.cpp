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
        QTest::newRow("qt's options and their values")
            << QStringList{"-platform", "xcb", "--style", "fusion", "-title", "b.png", "a.png"}
            << "a.png"
            << "";
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
