#include "gui/EngineTexts.h"

#include <QCoreApplication>

#include <array>
#include <string_view>

namespace veltrano::gui {
namespace {

// A message as the core writes it, with at most one "%1" for the part it
// names, and its Chinese form (the translation's source text).
struct TEngineText {
  const char* english;
  const char* chinese;
};

// clang-format off
const std::array kMessages{
    // Conversions.
    TEngineText{"Output file does not contain any stream",
                QT_TRANSLATE_NOOP("EngineTexts", "输出文件不含任何流")},
    TEngineText{"The source gave nothing to convert",
                QT_TRANSLATE_NOOP("EngineTexts", "源文件中没有可以转换的内容")},
    TEngineText{"Error while reading input%1", QT_TRANSLATE_NOOP("EngineTexts", "读取输入文件出错%1")},
    TEngineText{"Could not write header for output file  (incorrect codec parameters ?)%1",
                QT_TRANSLATE_NOOP("EngineTexts", "无法写入输出文件的文件头（编码参数不对？）%1")},
    TEngineText{"Could not write the end of output file%1",
                QT_TRANSLATE_NOOP("EngineTexts", "无法写完输出文件%1")},
    TEngineText{"Could not name the output%1", QT_TRANSLATE_NOOP("EngineTexts", "无法给输出文件命名%1")},
    TEngineText{"Error while opening codec for input stream %1",
                QT_TRANSLATE_NOOP("EngineTexts", "无法打开输入流 %1 的解码器")},
    TEngineText{"Unsupported codec for input stream %1",
                QT_TRANSLATE_NOOP("EngineTexts", "不支持输入流 %1 的编码")},
    TEngineText{"Unsupported codec for output stream %1",
                QT_TRANSLATE_NOOP("EngineTexts", "不支持输出流 %1 的编码")},
    TEngineText{"Unknown Codec Name", QT_TRANSLATE_NOOP("EngineTexts", "未知的编码名称")},
    TEngineText{"Invalid codec type", QT_TRANSLATE_NOOP("EngineTexts", "编码的类型不对")},
    TEngineText{"Could not find input stream %1", QT_TRANSLATE_NOOP("EngineTexts", "找不到输入流 %1")},
    TEngineText{"Number of stream maps must match number of output streams",
                QT_TRANSLATE_NOOP("EngineTexts", "流映射的数目必须与输出流的数目相同")},
    TEngineText{"Codec type mismatch for mapping %1",
                QT_TRANSLATE_NOOP("EngineTexts", "流映射 %1 的类型不一致")},
    TEngineText{"Unable to find a suitable output format for %1",
                QT_TRANSLATE_NOOP("EngineTexts", "找不到适合 %1 的输出格式")},
    TEngineText{"Unknown input  or Output format %1",
                QT_TRANSLATE_NOOP("EngineTexts", "未知的输入或输出格式 %1")},
    TEngineText{"Can not find stream information%1", QT_TRANSLATE_NOOP("EngineTexts", "读不出流的信息%1")},
    TEngineText{"Video encoding failed%1", QT_TRANSLATE_NOOP("EngineTexts", "视频编码失败%1")},
    TEngineText{"Audio encoding failed%1", QT_TRANSLATE_NOOP("EngineTexts", "音频编码失败%1")},
    TEngineText{"Subtitle encoding failed%1", QT_TRANSLATE_NOOP("EngineTexts", "字幕编码失败%1")},
    TEngineText{"Error opening filters!%1", QT_TRANSLATE_NOOP("EngineTexts", "无法建立视频滤镜！%1")},
    TEngineText{"Error while filtering the video%1", QT_TRANSLATE_NOOP("EngineTexts", "视频滤镜出错%1")},
    TEngineText{"The logo file \"%1\" does not exist",
                QT_TRANSLATE_NOOP("EngineTexts", "Logo文件“%1”不存在")},
    TEngineText{"Out of memory%1", QT_TRANSLATE_NOOP("EngineTexts", "内存不足%1")},
    TEngineText{"crop dimensions are outside the range of the original image.",
                QT_TRANSLATE_NOOP("EngineTexts", "裁剪的尺寸超出了原始画面")},
    TEngineText{"Too many input files (at most %1)",
                QT_TRANSLATE_NOOP("EngineTexts", "输入文件太多（最多 %1 个）")},
    TEngineText{"Too many output files (at most %1)",
                QT_TRANSLATE_NOOP("EngineTexts", "输出文件太多（最多 %1 个）")},
    TEngineText{"Invalid value for Option!", QT_TRANSLATE_NOOP("EngineTexts", "选项的值无效！")},
    TEngineText{"Invalid BitstreamFilter %1", QT_TRANSLATE_NOOP("EngineTexts", "无效的比特流滤镜 %1")},
    TEngineText{"Specified program id not found",
                QT_TRANSLATE_NOOP("EngineTexts", "找不到指定的节目编号")},
    TEngineText{"No stream is registered as '%1'",
                QT_TRANSLATE_NOOP("EngineTexts", "没有登记为“%1”的流")},
    TEngineText{"Subtitle encoding currently only possible from text to text or bitmap to bitmap",
                QT_TRANSLATE_NOOP("EngineTexts", "字幕只能从文字转为文字，或从图像转为图像")},
    TEngineText{"-acodec copy and -vol are incompatible (frames are not decoded)",
                QT_TRANSLATE_NOOP("EngineTexts", "复制音频时不能改变音量")},
    // The engine's own Chinese messages (shown as they are in Chinese).
    TEngineText{"打不开文件%1", QT_TRANSLATE_NOOP("EngineTexts", "打不开文件%1")},
    TEngineText{"打不开:%1", QT_TRANSLATE_NOOP("EngineTexts", "打不开:%1")},
    TEngineText{"目标文件已存在: %1", QT_TRANSLATE_NOOP("EngineTexts", "目标文件已存在: %1")},
    TEngineText{"输出文件与源文件相同: %1",
                QT_TRANSLATE_NOOP("EngineTexts", "输出文件与源文件相同: %1")},
    TEngineText{"打不开DVD", QT_TRANSLATE_NOOP("EngineTexts", "打不开DVD")},
    TEngineText{"打不开标题", QT_TRANSLATE_NOOP("EngineTexts", "打不开标题")},
    TEngineText{"输出检查: %1", QT_TRANSLATE_NOOP("EngineTexts", "输出检查: %1")},
    TEngineText{"此任务正由另一个程序转换",
                QT_TRANSLATE_NOOP("EngineTexts", "此任务正由另一个程序转换")},
    TEngineText{"此任务已由另一个程序转换",
                QT_TRANSLATE_NOOP("EngineTexts", "此任务已由另一个程序转换")},
    // The preview.
    TEngineText{"timestamp can not be large than stream duration!",
                QT_TRANSLATE_NOOP("EngineTexts", "时间点超出了媒体的长度！")},
    TEngineText{"could not seek to position %1", QT_TRANSLATE_NOOP("EngineTexts", "无法定位到 %1")},
    // The task store.
    TEngineText{"database is locked",
                QT_TRANSLATE_NOOP("EngineTexts", "任务数据库 av.cfg 被另一个程序锁住了")},
    TEngineText{"attempt to write a readonly database",
                QT_TRANSLATE_NOOP("EngineTexts", "任务数据库 av.cfg 是只读的")},
    TEngineText{"database or disk is full",
                QT_TRANSLATE_NOOP("EngineTexts", "磁盘已满，任务数据库 av.cfg 写不进去")},
    TEngineText{"disk I/O error", QT_TRANSLATE_NOOP("EngineTexts", "读写任务数据库 av.cfg 时出错")},
    TEngineText{"unable to open database file",
                QT_TRANSLATE_NOOP("EngineTexts", "打不开任务数据库 av.cfg")},
};

// Reasons of the system and the library, after the ": " that ends a message.
const std::array kReasons{
    TEngineText{"No such file or directory", QT_TRANSLATE_NOOP("EngineTexts", "没有这个文件或文件夹")},
    TEngineText{"Permission denied", QT_TRANSLATE_NOOP("EngineTexts", "没有权限")},
    TEngineText{"No space left on device", QT_TRANSLATE_NOOP("EngineTexts", "磁盘空间不足")},
    TEngineText{"Read-only file system", QT_TRANSLATE_NOOP("EngineTexts", "文件系统是只读的")},
    TEngineText{"Invalid data found when processing input",
                QT_TRANSLATE_NOOP("EngineTexts", "输入的数据无效")},
    TEngineText{"Input/output error", QT_TRANSLATE_NOOP("EngineTexts", "输入/输出错误")},
    TEngineText{"Is a directory", QT_TRANSLATE_NOOP("EngineTexts", "这是一个文件夹")},
};
// clang-format on

QString Translated(const char* chinese) {
  return QCoreApplication::translate("EngineTexts", chinese);
}

// `text` in the window's language when `entry` describes it; a null string
// otherwise.
QString Match(const TEngineText& entry, std::string_view text) {
  const std::string_view english = entry.english;
  const size_t hole = english.find("%1");
  if (hole == std::string_view::npos) {
    return text == english ? Translated(entry.chinese) : QString();
  }
  const std::string_view before = english.substr(0, hole);
  const std::string_view after = english.substr(hole + 2);
  if (text.size() < before.size() + after.size() || !text.starts_with(before) ||
      !text.ends_with(after)) {
    return QString();
  }
  const std::string_view named =
      text.substr(before.size(), text.size() - before.size() - after.size());
  return Translated(entry.chinese)
      .arg(QString::fromUtf8(named.data(), static_cast<qsizetype>(named.size())));
}

template <size_t N>
QString FirstMatch(const std::array<TEngineText, N>& entries, std::string_view text) {
  for (const TEngineText& entry : entries) {
    QString shown = Match(entry, text);
    if (!shown.isNull()) return shown;
  }
  return QString();
}

}  // namespace

QString EngineText(const std::string& message) {
  const std::string_view text = message;
  // A known reason at the end: the message before it and the reason apart.
  const size_t colon = text.rfind(": ");
  if (colon != std::string_view::npos) {
    const QString reason = FirstMatch(kReasons, text.substr(colon + 2));
    if (!reason.isNull()) {
      const std::string_view head = text.substr(0, colon);
      QString shown = FirstMatch(kMessages, head);
      if (shown.isNull())
        shown = QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size()));
      return shown + QStringLiteral(": ") + reason;
    }
  }
  const QString shown = FirstMatch(kMessages, text);
  return shown.isNull() ? QString::fromStdString(message) : shown;
}

}  // namespace veltrano::gui
