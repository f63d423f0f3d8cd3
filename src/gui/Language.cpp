#include "gui/Language.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <algorithm>
#include <exception>
#include <iterator>

#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "platform/AppFolders.h"

namespace veltrano::gui {
namespace {

// The program's translations in its resources: veltrano_<language>.qm.
const char* const kTranslationFolder = ":/translations";
const char* const kTranslationName = "veltrano";
const char* const kEnglishTranslation = "veltrano_en";

// The texts the core writes for the views. They are listed here for the
// translation files, under one context, as the core writes them.
const char* const kCoreContext = "CoreTexts";
const char* const kCoreTexts[] = {
    // The columns of the task list: unfiled tasks, then converted ones.
    QT_TRANSLATE_NOOP("CoreTexts", "原始文件"),
    QT_TRANSLATE_NOOP("CoreTexts", "原始文件大小"),
    QT_TRANSLATE_NOOP("CoreTexts", "目标文件"),
    QT_TRANSLATE_NOOP("CoreTexts", "目标文件大小"),
    QT_TRANSLATE_NOOP("CoreTexts", "输出格式配置"),
    QT_TRANSLATE_NOOP("CoreTexts", "用时"),
    QT_TRANSLATE_NOOP("CoreTexts", "完成度"),
    QT_TRANSLATE_NOOP("CoreTexts", "码率(kbs)"),
    QT_TRANSLATE_NOOP("CoreTexts", "剩余时间"),
    QT_TRANSLATE_NOOP("CoreTexts", "已用时间"),
    QT_TRANSLATE_NOOP("CoreTexts", "日期"),
    // The "完成度" of a task whose last run failed.
    QT_TRANSLATE_NOOP("CoreTexts", "失败"),
    // The columns of the task information.
    QT_TRANSLATE_NOOP("CoreTexts", "Category"),
    QT_TRANSLATE_NOOP("CoreTexts", "Property"),
    QT_TRANSLATE_NOOP("CoreTexts", "Value"),
    // The explorer's node of unfiled tasks, and the name the store gives
    // the root category.
    QT_TRANSLATE_NOOP("CoreTexts", "任务列表"),
    QT_TRANSLATE_NOOP("CoreTexts", "已转换"),
};
const char* const kRootCategoryName = "已转换";

// The catalogue's Chinese category captions; its other captions are names
// (IPad, Xbox, …) that read the same in English.
const char* const kCategoryContext = "ProfileCategory";
const char* const kCatalogueCategories[] = {
    QT_TRANSLATE_NOOP("ProfileCategory", "视频"),
    QT_TRANSLATE_NOOP("ProfileCategory", "音频"),
    QT_TRANSLATE_NOOP("ProfileCategory", "手机和3gp"),
    QT_TRANSLATE_NOOP("ProfileCategory", "Flash视频"),
    // Today's devices and formats (converter/DeviceCatalogue.h).
    QT_TRANSLATE_NOOP("ProfileCategory", "现代设备与格式"),
};

// Translates `text` in `context` when it is one of `known`.
template <size_t N>
QString TranslateKnown(const char* context, const char* const (&known)[N],
                       const std::string& text) {
  const auto found = std::find_if(std::begin(known), std::end(known),
                                  [&text](const char* entry) { return text == entry; });
  if (found == std::end(known)) return QString::fromStdString(text);
  return QCoreApplication::translate(context, *found);
}

// The translators installed last; owned by the application.
struct TInstalled {
  QPointer<QTranslator> own;
  QPointer<QTranslator> qt;
};

TInstalled& Installed() {
  static TInstalled installed;
  return installed;
}

void Uninstall(QPointer<QTranslator>& translator) {
  if (translator.isNull()) return;
  QCoreApplication::removeTranslator(translator);
  delete translator.data();
}

// Installs a new translator loaded by `load`; nullptr when it loads nothing.
template <class TLoad>
QTranslator* InstallLoaded(TLoad load) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!load(*translator)) {
    delete translator;
    return nullptr;
  }
  QCoreApplication::installTranslator(translator);
  return translator;
}

// The value of --lang: "" when absent, "zh" or "en"; nothing for another.
std::optional<std::string> LanguageArgument(const QStringList& arguments) {
  // Only --lang is known here; the program's own parser reports everything
  // else (and a --lang without a value).
  QCommandLineParser parser;
  const QCommandLineOption lang(QStringLiteral("lang"), QString(), QStringLiteral("LANGUAGE"));
  parser.addOption(lang);
  parser.parse(arguments);
  if (!parser.isSet(lang)) return std::string();
  const std::string value = parser.value(lang).toStdString();
  if (value != kChineseCode && value != kEnglishCode) return std::nullopt;
  return value;
}

// The choice stored in the configuration file; automatic without one.
std::string StoredLanguage() {
  TAVConfiguration stored;
  try {
    stored.LoadFromFile(GetConfigFile());
  } catch (const std::exception&) {
    // The start-up reports a malformed file when it loads the configuration.
  }
  return stored.Language();
}

}  // namespace

TLanguage ResolveLanguage(const std::string& choice, const QLocale& locale) {
  if (choice == kChineseCode) return TLanguage::Chinese;
  if (choice == kEnglishCode) return TLanguage::English;
  if (locale.language() == QLocale::Chinese) return TLanguage::Chinese;
  // English is the only translation, so any match is English.
  QTranslator probe;
  return probe.load(locale, QLatin1String(kTranslationName), QStringLiteral("_"),
                    QLatin1String(kTranslationFolder))
             ? TLanguage::English
             : TLanguage::Chinese;
}

bool InstallTranslations(TLanguage language) {
  TInstalled& installed = Installed();
  Uninstall(installed.own);
  Uninstall(installed.qt);
  if (language == TLanguage::English) {
    // Qt's own texts are English already.
    installed.own = InstallLoaded([](QTranslator& translator) {
      return translator.load(QLatin1String(kEnglishTranslation), QLatin1String(kTranslationFolder));
    });
    return !installed.own.isNull();
  }
  // The program's texts are Chinese already; Qt's own when installed.
  installed.qt = InstallLoaded([](QTranslator& translator) {
    return translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                           QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  });
  return true;
}

bool InstallStartLanguage(const QStringList& arguments) {
  const std::optional<std::string> argument = LanguageArgument(arguments);
  if (!argument) return false;
  const std::string choice = argument->empty() ? StoredLanguage() : *argument;
  InstallTranslations(ResolveLanguage(choice, QLocale()));
  return true;
}

QString CoreText(const std::string& text) {
  return TranslateKnown(kCoreContext, kCoreTexts, text);
}

QString NodeCaption(const TNodeObject* node, const std::string& caption, int column) {
  const auto* task = dynamic_cast<const TAVTask*>(node);
  if (task != nullptr) {
    const bool failed_text = column == kProgressColumn && task->Failed() && caption == kFailedText;
    return failed_text ? CoreText(caption) : QString::fromStdString(caption);
  }
  const auto* category = dynamic_cast<const TConvertedNode*>(node);
  const bool named_by_system =
      dynamic_cast<const TConvertingNode*>(node) != nullptr ||
      (category != nullptr && category->IsRoot() && caption == kRootCategoryName);
  return named_by_system ? CoreText(caption) : QString::fromStdString(caption);
}

QString CategoryCaption(const std::string& category) {
  return TranslateKnown(kCategoryContext, kCatalogueCategories, category);
}

}  // namespace veltrano::gui
