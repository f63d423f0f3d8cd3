// The messages of the core in the window's language.
//
// The engine, the library beneath it and the task store report in English
// ("Output file does not contain any stream", "打不开文件 PATH: Permission
// denied", "database is locked"). The window shows them in its own language:
// each known message, or known beginning of one, has a Chinese form (the
// source text of the translation, English in veltrano_en.ts); the parts a
// message names (files, streams, numbers) are kept as they are, and so is
// any text the table does not know.
#pragma once

#include <QString>

#include <string>

namespace veltrano::gui {

// `message` as the window shows it.
QString EngineText(const std::string& message);

}  // namespace veltrano::gui
