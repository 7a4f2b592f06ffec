// How the window lays itself out where it runs: fields and lists as wide as
// their texts in the style in use, the window within the screen's free area,
// the about box at its fonts' sizes, paths as the system writes them and the
// save dialogs' start folder.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QUrl>
#include <QWindow>

#include <fstream>
#include <memory>

#include "AppFixture.h"
#include "UiDriver.h"
#include "app/Catalogue.h"
#include "app/Presenter.h"
#include "app/myAbout.h"
#include "app/uMain.h"
#include "settings/IniFile.h"

namespace eklz::test {

// Takes what QDesktopServices would hand to the system for one scheme.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  explicit UrlCatcher(const QString& scheme) : scheme_(scheme) {
    QDesktopServices::setUrlHandler(scheme_, this, "Open");
  }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }

 private:
  QString scheme_;
};

namespace {

constexpr const char* kOffline = "[fmMainFormState]\nConnected=0\n";

// The application in another style for the life of the object.
class StyleInUse {
 public:
  explicit StyleInUse(const QString& name) : before_(QApplication::style()->name()) {
    if (!name.isEmpty()) QApplication::setStyle(QStyleFactory::create(name));
  }
  ~StyleInUse() { QApplication::setStyle(QStyleFactory::create(before_)); }

 private:
  QString before_;
};

class Layout : public WindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override { WriteSettings(kOffline); }
};

// A folder as the tests compare it: absolute, with '/'.
std::string Folder(const QString& path) { return QDir(path).absolutePath().toStdString(); }

// The text area a list shows its chosen item in.
QRect ListTextArea(const QComboBox& list) {
  QStyleOptionComboBox option;
  option.initFrom(&list);
  option.editable = list.isEditable();
  option.frame = list.hasFrame();
  return list.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &list);
}

// Under the default style of the platform and under the plain "Windows"
// style, which has another drop-down button and other margins: every date
// shows its last digit clear of its button, and every item of every list
// fits the list's text area whole (the style's label keeps a pixel clear on
// each side).
TEST_P(Layout, EveryDateAndListShowsItsWholeText) {
  const StyleInUse style(GetParam());
  Open();
  auto* panels = Find<QStackedWidget>("pnPanels");
  int dates = 0;
  int lists = 0;
  for (int i = 0; i < panels->count(); ++i) {
    QWidget* panel = panels->widget(i);
    panels->setCurrentWidget(panel);
    QApplication::processEvents();
    const std::string name = panel->objectName().toStdString();
    for (QDateTimeEdit* edit : panel->findChildren<QDateTimeEdit*>()) {
      if (!edit->calendarPopup()) continue;
      ++dates;
      auto* line = edit->findChild<QLineEdit*>();
      // The text, the line edit's inner margins (2 on each side) and the cursor.
      const int needed = line->fontMetrics().horizontalAdvance(line->text()) + 2 * 2 + 1;
      EXPECT_GE(line->width(), needed) << name << " " << edit->objectName().toStdString() << ": "
                                       << line->text().toStdString();
    }
    for (QComboBox* list : panel->findChildren<QComboBox*>()) {
      ++lists;
      const QRect area = ListTextArea(*list);
      for (int k = 0; k < list->count(); ++k) {
        EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(k)) + 2, area.width())
            << name << " " << list->objectName().toStdString() << ": " << list->itemText(k).toStdString();
      }
    }
  }
  // "Дата с:", "дата по:", the activation's date and the repair request's three.
  EXPECT_GE(dates, 6);
  EXPECT_GE(lists, 6);
}

INSTANTIATE_TEST_SUITE_P(Styles, Layout, ::testing::Values("", "Windows"),
                         [](const auto& info) { return std::string(*info.param ? info.param : "Default"); });

struct FitCase {
  const char* what;
  QRect geometry;
  QMargins frame;
  QRect available;
  QRect fitted;
};

// A 1366x768 laptop with a 40-pixel taskbar at the bottom (a 1280x720 one
// too), and a frame of 8 pixels on the sides and bottom and 31 at the top.
const QMargins kFrame(8, 31, 8, 8);
const FitCase kFits[] = {
    {"fits as it is", {100, 100, 736, 500}, kFrame, {0, 0, 1366, 728}, {100, 100, 736, 500}},
    {"the designed height on a laptop", {315, 0, 736, 741}, kFrame, {0, 0, 1366, 728},
     {315, 31, 736, 689}},
    {"on a 1280x720 screen", {272, -10, 736, 741}, kFrame, {0, 0, 1280, 680}, {272, 31, 736, 641}},
    {"below the taskbar moves up", {100, 600, 736, 300}, kFrame, {0, 0, 1366, 728}, {100, 420, 736, 300}},
    {"off the left of a right-hand screen", {1200, 50, 736, 500}, kFrame, {1366, 0, 1920, 1040},
     {1374, 50, 736, 500}},
    {"a taskbar at the top", {0, 0, 600, 400}, QMargins(), {0, 40, 1366, 728}, {0, 40, 600, 400}},
    {"wider than the screen", {-50, 10, 1500, 500}, kFrame, {0, 0, 1366, 728}, {8, 31, 1350, 500}},
};

TEST(FitWithin, TheFramedWindowLiesWithinTheAvailableArea) {
  for (const FitCase& c : kFits) {
    const QRect fitted = app::FitWithin(c.geometry, c.frame, c.available);
    EXPECT_EQ(fitted, c.fitted) << c.what;
    EXPECT_TRUE(c.available.contains(fitted.marginsAdded(c.frame))) << c.what;
  }
}

class Screen : public WindowTest {
 protected:
  void SetUp() override { WriteSettings(kOffline); }

  void ExpectOnScreen(const std::string& when) {
    QApplication::processEvents();
    const QRect available = window->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(window->frameGeometry()))
        << when << ": " << window->frameGeometry().width() << "x" << window->frameGeometry().height() << "+"
        << window->frameGeometry().x() << "+" << window->frameGeometry().y() << " on "
        << available.width() << "x" << available.height();
  }
};

// The test platform's screen (800x600) is smaller than the designed window;
// a stored placement larger than the screen, or off it, is brought onto it.
TEST_F(Screen, TheWindowStartsWithinTheScreenAndAStoredPlacementIsBroughtOntoIt) {
  Open();
  ExpectOnScreen("designed placement");
  window->close();
  window.reset();
  WriteSettings(std::string(kOffline) + "Saved=1\nMaximized=0\nLeft=-400\nTop=3000\nWidth=1200\nHeight=900\n");
  Open();
  ExpectOnScreen("stored placement");
}

// Run by the next test on a screen of the size it gives: the window lies
// within the screen and the widest panel shows its fields without a
// sideways scroll bar.
TEST_F(Screen, OnTheScreenGiven) {
  if (qEnvironmentVariableIsEmpty("EKLZ_TEST_SCREEN")) GTEST_SKIP() << "run by WholePanelsOnLaptopScreens";
  Open();
  ui::Wait(50);
  ExpectOnScreen("on " + qEnvironmentVariable("EKLZ_TEST_SCREEN").toStdString());
  for (QScrollArea* area : Find<QStackedWidget>("pnPanels")->findChildren<QScrollArea*>()) {
    Find<QStackedWidget>("pnPanels")->setCurrentWidget(area->parentWidget());
    QApplication::processEvents();
    EXPECT_LE(area->widget()->minimumSizeHint().width(), area->viewport()->width())
        << area->objectName().toStdString();
  }
}

// The test platform takes its screen's size from a file given with it.
TEST(Screens, WholePanelsOnLaptopScreens) {
  if (QGuiApplication::platformName() != "offscreen") GTEST_SKIP() << "needs the offscreen platform";
  for (const auto& [width, height] : {std::pair{1366, 768}, std::pair{1280, 720}}) {
    TempDir dir;
    std::ofstream(dir.File("screen.json"))
        << "{\"screens\": [{\"name\": \"laptop\", \"x\": 0, \"y\": 0, \"width\": " << width
        << ", \"height\": " << height << "}]}";
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + QString::fromStdString(dir.File("screen.json")));
    env.insert("EKLZ_TEST_SCREEN", QString("%1x%2").arg(width).arg(height));
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=Screen.OnTheScreenGiven"});
    ASSERT_TRUE(run.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(run.readAll());
    EXPECT_EQ(run.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
  }
}

// The whole window, its panels at their smallest, fits a 1280x720 screen
// with a taskbar and the window's frame.
TEST_F(Screen, TheLayoutFitsA1280x720ScreenWithATaskbar) {
  Open();
  const QSize room = QSize(1280, 720 - 40).shrunkBy(kFrame);
  const QSize smallest = window->minimumSize().expandedTo(window->layout()->minimumSize());
  EXPECT_LE(smallest.width(), room.width());
  EXPECT_LE(smallest.height(), room.height());
}

// Each line of the about box is as tall as its font needs and lies within
// the box; the version line is in the box's own font, not a smaller one.
TEST_F(Layout, AboutBoxLinesTakeTheirNaturalSize) {
  for (const char* styleName : {"", "Windows"}) {
    const StyleInUse style(styleName);
    app::TfmMyAbout about(QUrl::fromLocalFile(QString::fromStdString(dir.File("Docs/x.htm"))));
    about.show();
    QApplication::processEvents();
    for (const char* name : {"Label1", "Label2", "Label5", "Label6", "Image2"}) {
      auto* label = about.findChild<QLabel*>(name);
      ASSERT_NE(label, nullptr) << name;
      const int natural = label->hasHeightForWidth() ? label->heightForWidth(label->width())
                                                     : label->sizeHint().height();
      EXPECT_GE(label->height(), natural) << styleName << " " << name;
      EXPECT_GE(label->width(), label->minimumSizeHint().width()) << styleName << " " << name;
      EXPECT_TRUE(about.rect().contains(label->geometry())) << styleName << " " << name;
    }
    auto* version = about.findChild<QLabel*>("Label5");
    EXPECT_GE(version->fontInfo().pixelSize(), about.fontInfo().pixelSize());
    about.close();
  }
}

// The help link opens the help's start page, and that page leads to the
// page of every task-list item.
TEST_F(Layout, AboutBoxHelpLinkOpensTheStartPageOfTheHelp) {
  const QString helpFolder = app::HelpPagesFolder(QCoreApplication::applicationDirPath());
  app::TesterEnvironment env;
  env.settingsPath = QString::fromStdString(SettingsPath());
  env.programDir = helpFolder;
  env.presenter = &presenter;
  window = std::make_unique<app::TfmMain>(env);
  window->show();
  WaitIdle();
  ASSERT_NE(window->AboutBox(), nullptr);

  const UrlCatcher catcher("file");
  ui::MouseClick(window->AboutBox()->findChild<QLabel*>("Label6"), Qt::LeftButton);
  ASSERT_EQ(catcher.opened.size(), 1);
  const QString page = catcher.opened.front().toLocalFile();
  EXPECT_EQ(QFileInfo(page).absolutePath().toStdString(), Folder(helpFolder + "/Docs"));
  QFile file(page);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
  const QString text = QString::fromUtf8(file.readAll());
  for (const app::CatalogueItem& item : app::Catalogue()) {
    const QString link = QFileInfo(QString::fromUtf8(item.helpPage)).fileName();
    EXPECT_TRUE(text.contains("href=\"" + link + "\"")) << link.toStdString();
  }
}

TEST(ShownPath, PathsShowTheSystemsSeparators) {
#ifdef Q_OS_WIN
  EXPECT_EQ(app::ShownPath("C:/Program Files/eklz/res.log").toStdString(), "C:\\Program Files\\eklz\\res.log");
#else
  EXPECT_EQ(app::ShownPath("/home/user/Документы/res.log").toStdString(),
            "/home/user/Документы/res.log");
#endif
}

TEST(DialogStartFolder, TheLastFolderElseTheProgramsFolderElseDocuments) {
  TempDir dir;
  const QString root = QString::fromStdString(dir.Path().string());
  QDir(root).mkpath("last");
  QDir(root).mkpath("program");
  // A folder under a file takes no file, whoever runs the test.
  std::ofstream(dir.File("file")) << "x";
  const QString readOnly = root + "/file/program";
  const QString documents = root + "/Documents";
  struct {
    const char* what;
    QString last, program, expected;
  } const cases[] = {
      {"the last folder", root + "/last", root + "/program", root + "/last"},
      {"none yet", "", root + "/program", root + "/program"},
      {"the last folder is gone", root + "/gone", root + "/program", root + "/program"},
      {"an installed copy", "", readOnly, documents},
      {"an installed copy, the last folder", root + "/last", readOnly, root + "/last"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(app::DialogStartFolder(c.last, c.program, documents).toStdString(), c.expected.toStdString())
        << c.what;
  }
  EXPECT_EQ(QDir(root + "/program").entryList(QDir::Files).join(' ').toStdString(), "") << "the probe is removed";
}

// The save dialogs start in the program's folder, then in the folder used
// last, also after a restart; the dump file's field shows the chosen path as
// the system writes it.
TEST_F(Layout, SaveDialogsStartInTheFolderUsedLast) {
  const QString root = QString::fromStdString(dir.Path().string());
  QDir(root).mkpath("logs");
  QDir(root).mkpath("dumps");
  Open();
  presenter.savePath = root + "/logs/views.log";
  window->SaveLogsClick();
  ASSERT_EQ(presenter.dialogFolders.size(), 1);
  EXPECT_EQ(Folder(presenter.dialogFolders.back()), Folder(root)) << "the program's folder first";
  window->SaveLogsClick();
  EXPECT_EQ(Folder(presenter.dialogFolders.back()), Folder(root + "/logs"));

  presenter.dumpPath = root + "/dumps/archive.Bin";
  Choose("Весь дамп архива");
  ui::MouseClick(Find<QAbstractButton>("RzToolbarButton2"), Qt::LeftButton);
  EXPECT_EQ(Folder(presenter.dialogFolders.back()), Folder(root + "/logs"));
  EXPECT_EQ(Find<QLineEdit>("edAllDumpFileName")->text().toStdString(),
            app::ShownPath(presenter.dumpPath).toStdString());
  EXPECT_EQ(Folder(QString::fromStdString(IniFile(SettingsPath()).ReadString("TfmMain", "LastFolder", ""))),
            Folder(root + "/dumps"));

  window->close();
  window.reset();
  Open();
  window->SaveLogsClick();
  EXPECT_EQ(Folder(presenter.dialogFolders.back()), Folder(root + "/dumps")) << "kept across a restart";
}

// A folder whose name the settings file (Windows-1251) cannot hold is not
// kept: the settings are still saved at close, without a message.
TEST_F(Layout, AFolderTheSettingsFileCannotHoldIsNotKept) {
  const QString root = QString::fromStdString(dir.Path().string());
  QDir(root).mkpath("日本");
  Open();
  presenter.savePath = root + "/日本/views.log";
  window->SaveLogsClick();
  window->SaveLogsClick();
  EXPECT_EQ(Folder(presenter.dialogFolders.back()), Folder(root));
  window->close();
  EXPECT_EQ(presenter.errors.join('\n').toStdString(), "");
  EXPECT_EQ(IniFile(SettingsPath()).ReadString("Group 0", "Opened", ""), "1") << "the settings were saved";
}

}  // namespace
}  // namespace eklz::test

#include "layout_test.moc"
