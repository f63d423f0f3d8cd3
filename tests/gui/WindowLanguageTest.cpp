// The windows started in English and in Chinese: every caption a user reads
// is in the language of the start, while the stored values (profile
// categories, the configuration) stay as they are.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWizard>

#include <algorithm>
#include <memory>
#include <vector>

#include "GuiFixture.h"
#include "WizardTestSupport.h"
#include "common/Configuration.h"
#include "common/ProfileStore.h"
#include "common/TestHome.h"
#include "gui/CategoryDlg.h"
#include "gui/DesktopAlert.h"
#include "gui/FilterDialogs.h"
#include "gui/FormEditProfile.h"
#include "gui/FormOptions.h"
#include "gui/Frames.h"
#include "gui/Language.h"
#include "platform/AppFolders.h"

namespace veltrano::gui::test {
namespace {

// The language of a start with `--lang lang` for one test; the program's
// source texts again afterwards.
class TLanguageOfStart {
 public:
  explicit TLanguageOfStart(const char* lang) {
    EXPECT_TRUE(InstallStartLanguage(
        {QStringLiteral("veltrano"), QStringLiteral("--lang"), QLatin1String(lang)}));
  }
  ~TLanguageOfStart() { InstallTranslations(TLanguage::Chinese); }
  TLanguageOfStart(const TLanguageOfStart&) = delete;
  TLanguageOfStart& operator=(const TLanguageOfStart&) = delete;
};

bool HasChinese(const QString& text) {
  return std::any_of(text.begin(), text.end(),
                     [](QChar c) { return c.script() == QChar::Script_Han; });
}

// The captions a user reads in `root`: its title and the texts of its
// labels, buttons, group boxes, tabs, menus, actions, list and combo entries,
// option trees and column headers. Widgets named in `data` show the user's
// or the catalogue's data and are left out.
QStringList Captions(const QWidget& root, const QStringList& data = {}) {
  QStringList texts{root.windowTitle()};
  const auto add = [&texts](const QString& text) {
    if (!text.isEmpty()) texts.push_back(text);
  };
  for (const QWidget* widget : root.findChildren<const QWidget*>()) {
    if (data.contains(widget->objectName())) continue;
    if (const auto* label = qobject_cast<const QLabel*>(widget)) add(label->text());
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
      add(button->text());
      add(button->toolTip());
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) add(group->title());
    if (const auto* tabs = qobject_cast<const QTabWidget*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) add(tabs->tabText(i));
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
      for (int i = 0; i < combo->count(); ++i) add(combo->itemText(i));
    }
    if (const auto* list = qobject_cast<const QListWidget*>(widget)) {
      for (int i = 0; i < list->count(); ++i) add(list->item(i)->text());
    }
    if (const auto* tree = qobject_cast<const QTreeWidget*>(widget)) {
      for (int i = 0; i < tree->topLevelItemCount(); ++i) add(tree->topLevelItem(i)->text(0));
    }
    if (const auto* menu = qobject_cast<const QMenu*>(widget)) add(menu->title());
    if (const auto* header = qobject_cast<const QHeaderView*>(widget); header && header->model()) {
      for (int i = 0; i < header->count(); ++i)
        add(header->model()->headerData(i, header->orientation()).toString());
    }
    for (const QAction* action : widget->actions()) {
      add(action->text());
      add(action->toolTip());
    }
  }
  if (const auto* wizard = qobject_cast<const QWizard*>(&root)) {
    for (int id : wizard->pageIds()) add(wizard->page(id)->title());
  }
  return texts;
}

QStringList ChineseCaptions(const QWidget& root, const QStringList& data = {}) {
  QStringList chinese;
  for (const QString& text : Captions(root, data)) {
    if (HasChinese(text)) chinese.push_back(text);
  }
  return chinese;
}

QStringList HeaderCaptions(const QAbstractItemModel& model) {
  QStringList captions;
  for (int column = 0; column < model.columnCount(); ++column)
    captions.push_back(model.headerData(column, Qt::Horizontal).toString());
  return captions;
}

QStringList ToolbarCaptions(QToolBar& toolbar) {
  QStringList captions;
  for (QAction* action : toolbar.actions()) {
    if (action->isVisible() && qobject_cast<QToolButton*>(toolbar.widgetForAction(action)))
      captions.push_back(action->iconText());
  }
  return captions;
}

QStringList ExplorerCaptions(const TTaskViewModel& explorer) {
  QStringList captions;
  for (int row = 0; row < explorer.rowCount(); ++row)
    captions.push_back(explorer.index(row, 0).data().toString());
  return captions;
}

// The main window, and the options window opened from it.
class MainWindowLanguageTest : public veltrano::test::GuiTest {};

TEST_F(MainWindowLanguageTest, StartedWithLangEnTheWindowAndItsDialogsShowEnglish) {
  TLanguageOfStart english("en");
  StartApp();
  EXPECT_EQ(Window().windowTitle(), QStringLiteral("Veltrano, free from Tellurix"));
  EXPECT_EQ(ToolbarCaptions(Window().Toolbar()),
            (QStringList{"Add Task", "Start", "Pause", "Stop", "Website"}));
  EXPECT_EQ(ExplorerCaptions(Window().FrameExplorer().Model()),
            (QStringList{"Task List", "Converted"}));
  EXPECT_EQ(HeaderCaptions(Window().FrameList().Model()),
            (QStringList{"Source File", "Source Size", "Target File", "Target Size", "Profile",
                         "Duration", "Progress", "Bitrate (kb/s)", "Time Left", "Time Used"}));
  EXPECT_EQ(Window().RunningText(), QStringLiteral("Converting: 0 tasks"));
  EXPECT_EQ(ChineseCaptions(Window()), QStringList());
  // The core's widths fit its Chinese captions; a longer English one widens its column.
  QHeaderView& header = *Window().FrameList().vstTaskList->header();
  EXPECT_EQ(header.sectionSize(0), 150);
  for (int column = 0; column < header.count(); ++column)
    EXPECT_GE(header.sectionSize(column), header.sectionSizeHint(column)) << column;

  // A category lists the converted files' columns.
  TTaskViewModel& explorer = Window().FrameExplorer().Model();
  explorer.Selection().setCurrentIndex(explorer.index(1, 0), QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(HeaderCaptions(Window().FrameList().Model()).last(), QStringLiteral("Date"));

  QStringList options_captions;
  auto options = veltrano::test::OnNextModal([&](QWidget* modal) {
    options_captions = ChineseCaptions(*modal, {"lblLanguage", "cbbLanguage"});
    EXPECT_EQ(modal->windowTitle(), QStringLiteral("Options"));
    qobject_cast<QDialog*>(modal)->reject();
  });
  Window().actOptions->trigger();
  ASSERT_TRUE(*options);
  EXPECT_EQ(options_captions, QStringList());
}

TEST_F(MainWindowLanguageTest, StartedWithLangZhTheWindowShowsTheChineseCaptions) {
  TLanguageOfStart english("en");
  TLanguageOfStart chinese("zh");  // replaces the English of the start before
  StartApp();
  EXPECT_EQ(Window().windowTitle(), QStringLiteral("免费Veltrano-Tellurix制造"));
  EXPECT_EQ(ToolbarCaptions(Window().Toolbar()),
            (QStringList{"添加任务", "开始转", "暂停", "停止", "Tellurix官网"}));
  EXPECT_EQ(ExplorerCaptions(Window().FrameExplorer().Model()),
            (QStringList{"任务列表", "已转换"}));
  EXPECT_EQ(HeaderCaptions(Window().FrameList().Model()).first(), QStringLiteral("原始文件"));
  EXPECT_EQ(Window().RunningText(), QStringLiteral("正在转换: 0 个任务"));
}

TEST_F(MainWindowLanguageTest, TheOptionsWindowStoresTheChoiceForTheNextStart) {
  TLanguageOfStart english("en");
  StartApp();
  // A file of an earlier version has no language: automatic.
  EXPECT_EQ(veltrano::test::ReadWholeFile(GetConfigFile()).find("Language"), std::string::npos);
  const auto choose = [this](int entry) {
    auto done = veltrano::test::OnNextModal([entry](QWidget* modal) {
      auto* form = dynamic_cast<TFormOptions*>(modal);
      ASSERT_NE(form, nullptr);
      form->cbbLanguage->setCurrentIndex(entry);
      form->btnOk->click();
    });
    Window().actOptions->trigger();
    EXPECT_TRUE(*done);
  };
  TFormOptions shown;
  shown.Fill(AVConfiguration());
  EXPECT_EQ(shown.cbbLanguage->currentText(), QStringLiteral("自动 (Automatic)"));
  EXPECT_EQ(Captions(shown).filter(QStringLiteral("restart")).size(), 1);

  choose(1);  // 中文
  EXPECT_NE(veltrano::test::ReadWholeFile(GetConfigFile()).find("<Language>zh</Language>"),
            std::string::npos);
  EXPECT_EQ(Window().windowTitle(), QStringLiteral("Veltrano, free from Tellurix"));  // this run

  // The next start without --lang follows the stored choice.
  CloseApp();
  ASSERT_TRUE(InstallStartLanguage({QStringLiteral("veltrano")}));
  StartApp();
  EXPECT_EQ(Window().windowTitle(), QStringLiteral("免费Veltrano-Tellurix制造"));
  choose(0);  // automatic again: the element goes
  EXPECT_EQ(veltrano::test::ReadWholeFile(GetConfigFile()).find("Language"), std::string::npos);
}

// The wizard, the profile editor and the smaller windows.
class WindowLanguageTest : public WizardTest {};

TEST_F(WindowLanguageTest, TheWizardShowsEnglishAndTheCataloguesCategoriesTranslated) {
  TLanguageOfStart english("en");
  auto wizard = Wizard();
  EXPECT_EQ(wizard->buttonText(QWizard::FinishButton), QStringLiteral("&Start Converting"));
  EXPECT_EQ(wizard->page(TFormNewConversion::kSourcePage)->title(),
            QStringLiteral("Choose the File to Convert"));
  // Profile descriptions are data and stay as the catalogue writes them.
  EXPECT_EQ(ChineseCaptions(*wizard, {"cbbProfile"}), QStringList());
  auto* categories = Child<QComboBox>(wizard.get(), "cbbCategory");
  QStringList shown;
  for (int i = 0; i < 6; ++i) shown.push_back(categories->itemText(i));
  EXPECT_EQ(shown,
            (QStringList{"Video", "Audio", "Phones and 3GP", "Flash Video", "IPad", "IPhone"}));
  // The profiles of a translated category are found under its stored name.
  Choose(*wizard, QStringLiteral("Audio"), QStringLiteral("MP3 Audio"));
  EXPECT_EQ(wizard->CurrentProfile()->Category(), "音频");
}

TEST_F(WindowLanguageTest, ANewProfileInATranslatedCategoryKeepsTheStoredCategory) {
  TLanguageOfStart english("en");
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("Phones and 3GP"), QStringLiteral("3GPP"));
  QStringList editor_chinese;
  auto create = WhenModalOpens<TFormEditProfile>([&](TFormEditProfile* editor) {
    editor_chinese = ChineseCaptions(*editor, {"lstProfile"});
    EXPECT_EQ(editor->lstCategory->currentItem()->text(), QStringLiteral("Phones and 3GP"));
    editor->actNewVideo->trigger();
    editor->actSave->trigger();
  });
  wizard->findChild<QAction*>(QStringLiteral("actEditProfile"))->trigger();
  ASSERT_TRUE(create->Done());
  EXPECT_EQ(editor_chinese, QStringList());
  EXPECT_EQ(Child<QComboBox>(wizard.get(), "cbbCategory")->currentText(),
            QStringLiteral("Phones and 3GP"));
  EXPECT_EQ(Child<QComboBox>(wizard.get(), "cbbProfile")->currentText(),
            QStringLiteral("New Video Profile"));
  EXPECT_EQ(wizard->CurrentProfile()->Category(), "手机和3gp");
  const auto restarted = CreateProfileList();
  const TAVProfile* stored = restarted->FindProfile("New Video Profile");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->Category(), "手机和3gp");
}

TEST_F(WindowLanguageTest, TheDialogsAndTheAlertShowEnglish) {
  TLanguageOfStart english("en");
  const std::vector<std::shared_ptr<QWidget>> dialogs{
      std::make_shared<TFormLogoFilter>(),     std::make_shared<TFormTextFilter>(),
      std::make_shared<TFormSubtitleFilter>(), std::make_shared<TFormStdFilter>(),
      std::make_shared<TFormCategory>(),       std::make_shared<TFormDelete>(),
      std::make_shared<TFormAbout>()};
  for (const auto& dialog : dialogs) {
    EXPECT_EQ(ChineseCaptions(*dialog), QStringList()) << dialog->metaObject()->className();
  }
  EXPECT_EQ(dialogs[3]->windowTitle(), QStringLiteral("Standard Filter"));
  TAVDesktopAlert* alert = TAVDesktopAlert::ShowCompleted(Out("clip.mp4"));
  EXPECT_EQ(ChineseCaptions(*alert), QStringList());
  TAVDesktopAlert::CloseAll();
}

}  // namespace
}  // namespace veltrano::gui::test
