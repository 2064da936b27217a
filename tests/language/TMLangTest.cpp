// SPDX-License-Identifier: GPL-2.0-or-later
#include "language/TMLang.h"
#include "platform/ProgramFolders.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>
#include <sstream>

using namespace lumora;
using namespace lumora::test;

namespace {

const QString kLangFile = QStringLiteral("lang/English.ini");

template <typename T> T* Named(const QString& name, T* object) {
    object->setObjectName(name);
    return object;
}

// The configuration every window of the program gives its component; `adjust` changes
// it before the component is switched on.
TMLang* AttachLanguage(QWidget* owner, const QString& windowClass,
                       const std::function<void(TMLang&)>& adjust = {},
                       const QString& langFile = kLangFile) {
    auto* lang = new TMLang(owner, windowClass);
    lang->SetLangFileName(langFile);
    lang->SetIgnoreEmptyString(true);
    lang->SetAutoCreateMode(true);
    lang->SetAddBracket(false);
    lang->SetStringProperties({"Caption"});
    lang->SetStringsProperties({"Tabs", "Items"});
    lang->SetIgnoreControls({"lblInfo"});
    lang->SetIncludeListViewItems(true);
    lang->SetIncludeListViewHead(true);
    lang->SetIncludeTreeViewItems(true);
    lang->SetStrList({"strSaveOK=Saved.\\nDone", "strEmpty="});
    if (adjust)
        adjust(*lang);
    lang->SetActiveNow(true);
    return lang;
}

// A window with one control of each kind the language file reaches, and a frame inside
// it with a language component of its own.
std::unique_ptr<QWidget> BuildSampleWindow(const std::function<void(TMLang&)>& adjust = {},
                                           const QString& langFile = kLangFile) {
    auto window = std::make_unique<QWidget>();
    QWidget* w = window.get();
    w->setObjectName("frmSample");
    w->setWindowTitle("Sample");
    w->setFont(QFont("MS Sans Serif", 8));

    auto* frame = Named("frameInner", new QWidget(w));
    Named("btnInner", new QPushButton("Inner", frame));
    AttachLanguage(frame, "TframeInner", {}, langFile);
    auto* dialog = Named("frmChild", new QDialog(w));
    dialog->setWindowTitle("Child");
    AttachLanguage(dialog, "TfrmChild", {}, langFile);

    auto* btnHide = Named("btnHide", new QPushButton("Hide &Data", w));
    btnHide->setFont(QFont("MS Sans Serif", 11));
    Named("lblHide", new QLabel("Hide text.", w));
    Named("lblInfo", new QLabel("set at run time", w));
    Named("lblEmpty", new QLabel(w));
    auto* cboMode = Named("cboMode", new QComboBox(w));
    cboMode->addItems({"Fast", "Slow"});
    cboMode->setCurrentIndex(1);

    auto* pcPages = Named("pcPages", new QTabWidget(w));
    pcPages->addTab(Named("tsFirst", new QWidget), "First page");
    pcPages->addTab(Named("tsSecond", new QWidget), "Second page");

    auto* lvFiles = Named("lvFiles", new QTreeWidget(w));
    lvFiles->setRootIsDecorated(false);
    lvFiles->setHeaderLabels({"Name", "Size"});
    new QTreeWidgetItem(lvFiles, QStringList{"a.txt", "1 KB"});
    auto* tvFolders = Named("tvFolders", new QTreeWidget(w));
    auto* root = new QTreeWidgetItem(tvFolders, QStringList{"Root"});
    new QTreeWidgetItem(root, QStringList{"Child"});
    new QTreeWidgetItem(tvFolders, QStringList{"Other"});

    Named("lstNames", new QListWidget(w))->addItem("Alpha");
    auto* tabKinds = Named("tabKinds", new QTabBar(w));
    tabKinds->addTab("Text");
    tabKinds->addTab("Files");

    auto* hdrCols = Named("hdrCols", new QHeaderView(Qt::Horizontal, w));
    auto* headerModel = new QStandardItemModel(0, 1, hdrCols);
    headerModel->setHorizontalHeaderLabels({"Left"});
    hdrCols->setModel(headerModel);
    auto* grdData = Named("grdData", new QTableView(w));
    auto* gridModel = new QStandardItemModel(0, 1, grdData);
    gridModel->setHorizontalHeaderLabels({"Title"});
    grdData->setModel(gridModel);

    auto* pmHelp = Named("pmHelp", new QMenu(w));
    pmHelp->addAction(Named("mniHelp", new QAction("Help ...", w)));
    Named("tmrTick", new QTimer(w));
    auto* splMain = Named("splMain", new QSplitter(w));
    Named("lblInSplitter", new QLabel("Split", splMain));

    auto* holder = Named("fontHolder", new QObject(w));
    holder->setProperty("FontName", QString());
    holder->setProperty("FontSize", 0);
    holder->setProperty("FontCharset", 0);

    AttachLanguage(w, "TfrmSample", adjust, langFile);
    return window;
}

template <typename T> T* Find(QWidget* window, const char* name) {
    T* object = window->findChild<T*>(name);
    if (object == nullptr)
        qFatal("no %s", name);
    return object;
}

// Non-blank lines of a section, headers of other sections cut off.
QStringList SectionLines(const std::string& path, const QString& section) {
    QStringList lines;
    bool inside = false;
    std::istringstream in(ReadText(path));
    for (std::string raw; std::getline(in, raw);) {
        QString line = QString::fromStdString(raw);
        if (line.startsWith('['))
            inside = line == "[" + section + "]";
        else if (inside && !line.isEmpty())
            lines.append(line);
    }
    return lines;
}

QStringList SectionNames(const std::string& path) {
    QStringList names;
    std::istringstream in(ReadText(path));
    for (std::string raw; std::getline(in, raw);) {
        if (raw.starts_with('['))
            names.append(QString::fromStdString(raw));
    }
    return names;
}

} // namespace

class TMLangTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_dir;
    std::string LangPath() const { return *m_dir / "lang/English.ini"; }

private slots:
    void init() {
        m_dir = std::make_unique<TempDir>();
        SetProgramFolderOverride(m_dir->Path());
    }
    void cleanup() {
        SetProgramFolderOverride("");
        m_dir.reset();
    }

    void firstRunCreatesTheFolderAndACompleteFile() {
        auto window = BuildSampleWindow();
        QCOMPARE(SectionNames(LangPath()),
                 QStringList({"[TframeInner]", "[TfrmChild]", "[TfrmSample]"}));
        QCOMPARE(SectionLines(LangPath(), "TframeInner"),
                 QStringList({"frameInner_FontName=MS Sans Serif", "frameInner_FontSize=8",
                              "frameInner_FontCharset=1", "btnInner_Caption=Inner",
                              "strSaveOK=Saved.\\nDone"}));
        QCOMPARE(SectionLines(LangPath(), "TfrmSample"),
                 QStringList({"frmSample_FontName=MS Sans Serif",
                              "frmSample_FontSize=8",
                              "frmSample_FontCharset=1",
                              "frmSample_Caption=Sample",
                              "btnHide_Caption=Hide &Data",
                              "lblHide_Caption=Hide text.",
                              "cboMode_Items[0]=Fast",
                              "cboMode_Items[1]=Slow",
                              "tsFirst_Caption=First page",
                              "tsSecond_Caption=Second page",
                              "lvFiles_ColumnCaption[0]=Name",
                              "lvFiles_ColumnCaption[1]=Size",
                              "lvFiles_ItemCaption[0]=a.txt",
                              "lvFiles_SubItem[0]Caption[0]=1 KB",
                              "tvFolders_ItemText[0]=Root",
                              "tvFolders_ItemText[1]=Child",
                              "tvFolders_ItemText[2]=Other",
                              "lstNames_Items[0]=Alpha",
                              "tabKinds_Tabs[0]=Text",
                              "tabKinds_Tabs[1]=Files",
                              "hdrCols_SectionsText[0]=Left",
                              "grdData_ColumnsCaption[0]=Title",
                              "mniHelp_Caption=Help ...",
                              "lblInSplitter_Caption=Split",
                              "strSaveOK=Saved.\\nDone"}));
        // The window font reached every component, the frame's inner ones excepted.
        QCOMPARE(Find<QPushButton>(window.get(), "btnHide")->font().pointSize(), 8);
        QCOMPARE(Find<QWidget>(window.get(), "frameInner")->property("FontCharset").toInt(), 1);
        QVERIFY(!Find<QWidget>(window.get(), "frmChild")->property("FontCharset").isValid());
        QCOMPARE(Find<QObject>(window.get(), "fontHolder")->property("FontName").toString(),
                 QString("MS Sans Serif"));
    }

    void aTranslatedFileChangesTextsAndFonts() {
        std::filesystem::create_directories(*m_dir / "lang");
        WriteText(LangPath(), "[TfrmSample]\r\n"
                              "frmSample_FontName=DejaVu Serif\r\n"
                              "frmSample_FontSize=0x10\r\n"
                              "frmSample_FontCharset=204\r\n"
                              "frmSample_Caption=Muster\r\n"
                              "btnHide_Caption=<  Verstecken >\r\n"
                              "lblHide_Caption=\r\n"
                              "lblHide_FontSize=big\r\n"
                              "lblInfo_Caption=never\r\n"
                              "cboMode_Items[1]=Langsam\r\n"
                              "tsFirst_Caption=Erste\r\n"
                              "lvFiles_ColumnCaption[0]=Datei\r\n"
                              "lvFiles_SubItem[0]Caption[0]=1 kB\r\n"
                              "tvFolders_ItemText[2]=Andere\r\n"
                              "lstNames_Items[0]=Alfa\r\n"
                              "tabKinds_Tabs[1]=Dateien\r\n"
                              "hdrCols_SectionsText[0]=Links\r\n"
                              "grdData_ColumnsCaption[0]=Titel\r\n"
                              "mniHelp_Caption=Hilfe\\nmehr\r\n"
                              "strSaveOK=Gespeichert\\nfertig\r\n");
        auto window = BuildSampleWindow();
        QWidget* w = window.get();
        QCOMPARE(w->windowTitle(), QString("Muster"));
        QCOMPARE(Find<QPushButton>(w, "btnHide")->text(), QString("  Verstecken "));
        QCOMPARE(Find<QLabel>(w, "lblHide")->text(), QString("Hide text."));
        QCOMPARE(Find<QLabel>(w, "lblInfo")->text(), QString("set at run time"));
        auto* cboMode = Find<QComboBox>(w, "cboMode");
        QCOMPARE(cboMode->itemText(1), QString("Langsam"));
        QCOMPARE(cboMode->currentIndex(), 1);
        QCOMPARE(Find<QTabWidget>(w, "pcPages")->tabText(0), QString("Erste"));
        auto* lvFiles = Find<QTreeWidget>(w, "lvFiles");
        QCOMPARE(lvFiles->headerItem()->text(0), QString("Datei"));
        QCOMPARE(lvFiles->topLevelItem(0)->text(1), QString("1 kB"));
        QCOMPARE(Find<QTreeWidget>(w, "tvFolders")->topLevelItem(1)->text(0), QString("Andere"));
        QCOMPARE(Find<QListWidget>(w, "lstNames")->item(0)->text(), QString("Alfa"));
        QCOMPARE(Find<QTabBar>(w, "tabKinds")->tabText(1), QString("Dateien"));
        QCOMPARE(Find<QHeaderView>(w, "hdrCols")->model()->headerData(0, Qt::Horizontal),
                 QVariant("Links"));
        QCOMPARE(Find<QTableView>(w, "grdData")->model()->headerData(0, Qt::Horizontal),
                 QVariant("Titel"));
        QCOMPARE(Find<QAction>(w, "mniHelp")->text(), QString("Hilfe\\nmehr"));

        auto* lang = w->findChild<TMLang*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(lang->GetResString("strSaveOK"), QString("Gespeichert\r\nfertig"));
        QCOMPARE(lang->GetResString(0), QString("Gespeichert\\nfertig"));
        QCOMPARE(lang->GetResString("btnHide_Caption", "TfrmSample"), QString("  Verstecken "));

        for (const char* name : {"btnHide", "lblHide", "lblInfo", "cboMode"}) {
            auto* control = Find<QWidget>(w, name);
            QCOMPARE(control->font().family(), QString("DejaVu Serif"));
            QCOMPARE(control->font().pointSize(), 16);
            QCOMPARE(control->property("FontCharset").toInt(), 204);
        }
        auto* holder = Find<QObject>(w, "fontHolder");
        QCOMPARE(holder->property("FontSize").toInt(), 16);
        QCOMPARE(holder->property("FontCharset").toInt(), 204);
        // The empty entry counted as missing and now holds the built-in text.
        QVERIFY(SectionLines(LangPath(), "TfrmSample").contains("lblHide_Caption=Hide text."));
    }

    void fontSizesOfListedAndOwnKeyedControlsSurvive() {
        std::filesystem::create_directories(*m_dir / "lang");
        WriteText(LangPath(), "[TfrmSample]\nfrmSample_FontSize=8\nlblHide_FontSize=14\n");
        auto window =
            BuildSampleWindow([](TMLang& lang) { lang.SetSaveFontSizeCtrls({"btnHide"}); });
        QCOMPARE(Find<QWidget>(window.get(), "btnHide")->font().pointSize(), 11);
        QCOMPARE(Find<QWidget>(window.get(), "lblHide")->font().pointSize(), 14);
        QCOMPARE(Find<QWidget>(window.get(), "cboMode")->font().pointSize(), 8);
        QVERIFY(SectionLines(LangPath(), "TfrmSample").contains("btnHide_FontSize=11"));
    }

    void ignoredControlsMatchWithExactCaseAndStillTakeTheFont() {
        std::filesystem::create_directories(*m_dir / "lang");
        WriteText(LangPath(), "[TfrmSample]\nfrmSample_FontSize=12\n");
        auto window = BuildSampleWindow([](TMLang& lang) {
            lang.SetIgnoreControls({"LBLHIDE", "btnHide"});
        });
        QStringList lines = SectionLines(LangPath(), "TfrmSample");
        QVERIFY(lines.contains("lblHide_Caption=Hide text."));
        QVERIFY(!lines.join('\n').contains("btnHide_Caption"));
        QCOMPARE(Find<QWidget>(window.get(), "btnHide")->font().pointSize(), 12);
    }

    void writtenTextsReadBackUnchanged() {
        auto window = BuildSampleWindow();
        Find<QPushButton>(window.get(), "btnHide")->setText("  Hide ");
        Find<QLabel>(window.get(), "lblHide")->setText("<none>");
        Find<QComboBox>(window.get(), "cboMode")->setItemText(0, std::string(3000, 'x').c_str());
        std::filesystem::remove(LangPath());
        auto* lang = window->findChild<TMLang*>(QString(), Qt::FindDirectChildrenOnly);
        lang->UpdateLangRes();

        auto again = BuildSampleWindow();
        QCOMPARE(Find<QPushButton>(again.get(), "btnHide")->text(), QString("  Hide "));
        QCOMPARE(Find<QLabel>(again.get(), "lblHide")->text(), QString("<none>"));
        QCOMPARE(Find<QComboBox>(again.get(), "cboMode")->itemText(0),
                 QString(2047, QLatin1Char('x')));
    }

    void messagesByKeySectionAndIndex() {
        auto window = BuildSampleWindow();
        auto* lang = window->findChild<TMLang*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(lang->GetResString("STRSAVEOK"), QString("Saved.\r\nDone"));
        QCOMPARE(lang->GetResString(""), QString());
        QCOMPARE(lang->GetResString("strUnknown"), QString("strUnknown"));
        QVERIFY(SectionLines(LangPath(), "TfrmSample").contains("strUnknown=strUnknown"));
        QVERIFY(!SectionLines(LangPath(), "TfrmSample").join('\n').contains("strEmpty"));

        QCOMPARE(lang->GetResString("btnInner_Caption", "TframeInner"), QString("Inner"));
        QCOMPARE(lang->GetResString("strMissing", "TframeInner"), QString("strMissing"));
        QCOMPARE(lang->GetResString("strSaveOK", ""), QString());

        lang->SetStrList({"strA=Text A", "no equals sign", "strB=x=y"});
        QCOMPARE(lang->GetResString(0), QString("Text A"));
        QCOMPARE(lang->GetResString(1), QString("no equals sign"));
        QCOMPARE(lang->GetResString(2), QString("x=y"));
        QCOMPARE(lang->GetResString(3), QString());
        QCOMPARE(lang->GetResString(-1), QString());

        lang->AddResString("strAdded", "first");
        lang->AddResString("strAdded", "second");
        QVERIFY(SectionLines(LangPath(), "TfrmSample").contains("strAdded=first"));

        lang->UnRegister("TframeInner");
        lang->UnRegister("TFRMCHILD");
        QCOMPARE(SectionNames(LangPath()), QStringList({"[TfrmSample]"}));
    }

    void propertyNamesOfTheMapping() {
        QWidget window;
        QPushButton button(&window);
        QLineEdit edit(&window);
        QComboBox combo(&window);
        QTabBar tabs(&window);
        QObject plain;
        plain.setProperty("Hint", QString("tip"));
        plain.setProperty("Count", 3);
        QVERIFY(TMLang::IsHasProperty(&window, "Caption"));
        QVERIFY(TMLang::IsHasProperty(&button, "Caption"));
        QVERIFY(!TMLang::IsHasProperty(&button, "Items"));
        QVERIFY(!TMLang::IsHasProperty(&edit, "Caption"));
        QVERIFY(TMLang::IsHasProperty(&combo, "Items"));
        QVERIFY(TMLang::IsHasProperty(&tabs, "Tabs"));
        QVERIFY(TMLang::IsHasProperty(&plain, "Hint"));
        QVERIFY(TMLang::IsHasProperty(&plain, "Count"));
        QVERIFY(!TMLang::IsHasProperty(&plain, "Caption"));
        QVERIFY(!TMLang::IsHasProperty(nullptr, "Caption"));
    }

    void lineBreaksAndBrackets() {
        QCOMPARE(TMLang::TreatString("a\\nb\\\\nc\\"), QString("a\r\nb\\\r\nc\\"));
        QCOMPARE(TMLang::TreatString("no escapes \\t"), QString("no escapes \\t"));
        QCOMPARE(TMLang::ProcessedStr("<  Hide >"), QString("  Hide "));
        QCOMPARE(TMLang::ProcessedStr("<>"), QString());
        QCOMPARE(TMLang::ProcessedStr("<"), QString("<"));
        QCOMPARE(TMLang::ProcessedStr("<a"), QString("<a"));
        QCOMPARE(TMLang::UnProcessedStr(" a "), QString("< a >"));
    }

    void menuItemsAreRegisteredDepthFirst() {
        std::filesystem::create_directories(*m_dir / "lang");
        WriteText(LangPath(), "[TfrmSample]\nmniSub_Caption=Unter\n");
        QWidget owner;
        owner.setObjectName("frmSample");
        auto* lang = new TMLang(&owner, "TfrmSample");
        lang->SetLangFileName(kLangFile);
        QMenu top;
        QAction* file = top.addAction("File");
        file->setObjectName("mniFile");
        QMenu* subMenu = top.addMenu("More");
        subMenu->menuAction()->setObjectName("mniMore");
        subMenu->addSeparator()->setObjectName("mniN1");
        subMenu->addAction("Sub")->setObjectName("mniSub");
        lang->RegisterMenuItem(subMenu->menuAction());
        lang->RegisterMenuItem(file);
        QCOMPARE(subMenu->actions().at(1)->text(), QString("Unter"));
        QCOMPARE(
            SectionLines(LangPath(), "TfrmSample"),
            QStringList({"mniSub_Caption=Unter", "mniMore_Caption=More", "mniFile_Caption=File"}));
    }

    void ownersAndUnwritableFiles() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, TMLang(nullptr, "TfrmMain"));
        QWidget window;
        auto* action = new QAction(&window);
        try {
            TMLang lang(action, "TfrmMain");
            QFAIL("an action was accepted as owner");
        } catch (const std::runtime_error& error) {
            QCOMPARE(QString(error.what()), QString("Owner Error!"));
        }

        // A data module is accepted but never updated: no file appears.
        QObject dataModule;
        dataModule.setObjectName("dmData");
        auto* moduleLang = new TMLang(&dataModule, "TdmData");
        moduleLang->SetLangFileName(kLangFile);
        moduleLang->SetActiveNow(true);
        QVERIFY(!FileExists(LangPath()));

        // No file at all: texts stay, messages come from the list or are the key.
        auto noFile = BuildSampleWindow({}, QString());
        auto* lang = noFile->findChild<TMLang*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(lang->GetResString("strSaveOK"), QString("Saved.\r\nDone"));
        QCOMPARE(lang->GetResString("strOther"), QString("strOther"));
        QVERIFY(!FileExists(LangPath()));

        WriteText(*m_dir / "plain", "a regular file");
        const QString below = QString::fromStdString(*m_dir / "plain/lang/English.ini");
        try {
            BuildSampleWindow({}, below);
            QFAIL("an unwritable language file was accepted");
        } catch (const std::runtime_error& error) {
            QCOMPARE(QString(error.what()), "Unable to write to " + below);
        }
    }
};

QTEST_MAIN(TMLangTest)
#include "TMLangTest.moc"
