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
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <fstream>
#include <memory>

#include "AppFixture.h"
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
  QTest::mouseClick(window->AboutBox()->findChild<QLabel*>("Label6"), Qt::LeftButton);
  ASSERT_EQ(catcher.opened.size(), 1);
  const QString page = catcher.opened.front().toLocalFile();
  EXPECT_EQ(QFileInfo(page).absoluteDir(), QDir(helpFolder + "/Docs"));
  QFile file(page);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
  const QString text = QString::fromUtf8(file.readAll());
  for (const app::CatalogueItem& item : app::Catalogue()) {
    const QString link = QFileInfo(QString::fromUtf8(item.helpPage)).fileName();
    EXPECT_TRUE(text.contains("href=\"" + link + "\"")) << link.toStdString();
  }
}

}  // namespace
}  // namespace eklz::test

#include "layout_test.moc"
