// The interface language. The program's texts are written in Chinese; the
// English translation is built from translations/veltrano_en.ts into the
// program's resources.
//
// The language is chosen once, before the first window: `veltrano --lang`
// for one run, else the choice stored in Config.Xml, else the user's locale.
// A change in the options window applies at the next start.
//
// The core knows no Qt and writes a few texts of its own (column captions,
// the node captions); the views translate them where they show them, with
// the core's text as the source text. Profile categories are data: only the
// catalogue's Chinese captions are shown translated, and stored values never
// change.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

class QLocale;

namespace veltrano {
class TNodeObject;
}

namespace veltrano::gui {

enum class TLanguage { Chinese, English };

// The stored and command-line forms of a choice; automatic is "".
inline constexpr const char* kChineseCode = "zh";
inline constexpr const char* kEnglishCode = "en";

// The language of `choice` ("zh", "en"; anything else is automatic).
// Automatic is Chinese when the locale's language is Chinese or when no
// translation matches the locale's languages, English otherwise.
TLanguage ResolveLanguage(const std::string& choice, const QLocale& locale);

// Installs the program's and Qt's translations for `language`, replacing
// the ones installed before. False when the English translation could not
// be loaded (the texts stay Chinese).
bool InstallTranslations(TLanguage language);

// Installs the language of a run of the program with `arguments`: --lang
// ("en" or "zh", for this run only), else the choice stored in the
// configuration file (read, never written), else the user's locale. False,
// installing nothing, when --lang names another language.
bool InstallStartLanguage(const QStringList& arguments);

// A text the core wrote for the views (column captions, node captions) as
// it is shown; texts the core does not write are returned unchanged.
QString CoreText(const std::string& text);

// The caption of `node`'s row (nullptr: none) in `column` as shown: the node
// of unfiled tasks, the root category under the name the store gives it and
// a failed task's "失败" are translated; category names the user gave and
// the other task texts stay as they are.
QString NodeCaption(const TNodeObject* node, const std::string& caption, int column = 0);

// A profile category as shown: the catalogue's Chinese captions translated,
// every other caption (the user's own, the catalogue's English ones) as it is.
QString CategoryCaption(const std::string& category);

}  // namespace veltrano::gui
