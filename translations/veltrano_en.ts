<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CoreTexts</name>
    <message>
        <source>原始文件</source>
        <translation>Source File</translation>
    </message>
    <message>
        <source>原始文件大小</source>
        <translation>Source Size</translation>
    </message>
    <message>
        <source>目标文件</source>
        <translation>Target File</translation>
    </message>
    <message>
        <source>目标文件大小</source>
        <translation>Target Size</translation>
    </message>
    <message>
        <source>输出格式配置</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>用时</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>完成度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>码率(kbs)</source>
        <translation>Bitrate (kb/s)</translation>
    </message>
    <message>
        <source>剩余时间</source>
        <translation>Time Left</translation>
    </message>
    <message>
        <source>已用时间</source>
        <translation>Time Used</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>Property</source>
        <translation>Property</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>任务列表</source>
        <translation>Task List</translation>
    </message>
    <message>
        <source>已转换</source>
        <translation>Converted</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
</context>
<context>
    <name>EngineTexts</name>
    <message>
        <source>输出文件不含任何流</source>
        <translation>Output file does not contain any stream</translation>
    </message>
    <message>
        <source>源文件中没有可以转换的内容</source>
        <translation>The source gave nothing to convert</translation>
    </message>
    <message>
        <source>读取输入文件出错%1</source>
        <translation>Error while reading input%1</translation>
    </message>
    <message>
        <source>无法写入输出文件的文件头（编码参数不对？）%1</source>
        <translation>Could not write header for output file  (incorrect codec parameters ?)%1</translation>
    </message>
    <message>
        <source>无法写完输出文件%1</source>
        <translation>Could not write the end of output file%1</translation>
    </message>
    <message>
        <source>无法给输出文件命名%1</source>
        <translation>Could not name the output%1</translation>
    </message>
    <message>
        <source>无法打开输入流 %1 的解码器</source>
        <translation>Error while opening codec for input stream %1</translation>
    </message>
    <message>
        <source>不支持输入流 %1 的编码</source>
        <translation>Unsupported codec for input stream %1</translation>
    </message>
    <message>
        <source>不支持输出流 %1 的编码</source>
        <translation>Unsupported codec for output stream %1</translation>
    </message>
    <message>
        <source>未知的编码名称</source>
        <translation>Unknown Codec Name</translation>
    </message>
    <message>
        <source>编码的类型不对</source>
        <translation>Invalid codec type</translation>
    </message>
    <message>
        <source>找不到输入流 %1</source>
        <translation>Could not find input stream %1</translation>
    </message>
    <message>
        <source>流映射的数目必须与输出流的数目相同</source>
        <translation>Number of stream maps must match number of output streams</translation>
    </message>
    <message>
        <source>流映射 %1 的类型不一致</source>
        <translation>Codec type mismatch for mapping %1</translation>
    </message>
    <message>
        <source>找不到适合 %1 的输出格式</source>
        <translation>Unable to find a suitable output format for %1</translation>
    </message>
    <message>
        <source>未知的输入或输出格式 %1</source>
        <translation>Unknown input or output format %1</translation>
    </message>
    <message>
        <source>读不出流的信息%1</source>
        <translation>Can not find stream information%1</translation>
    </message>
    <message>
        <source>视频编码失败%1</source>
        <translation>Video encoding failed%1</translation>
    </message>
    <message>
        <source>音频编码失败%1</source>
        <translation>Audio encoding failed%1</translation>
    </message>
    <message>
        <source>字幕编码失败%1</source>
        <translation>Subtitle encoding failed%1</translation>
    </message>
    <message>
        <source>无法建立视频滤镜！%1</source>
        <translation>Error opening filters!%1</translation>
    </message>
    <message>
        <source>视频滤镜出错%1</source>
        <translation>Error while filtering the video%1</translation>
    </message>
    <message>
        <source>Logo文件“%1”不存在</source>
        <translation>The logo file &quot;%1&quot; does not exist</translation>
    </message>
    <message>
        <source>内存不足%1</source>
        <translation>Out of memory%1</translation>
    </message>
    <message>
        <source>裁剪的尺寸超出了原始画面</source>
        <translation>The crop dimensions are outside the range of the original image.</translation>
    </message>
    <message>
        <source>输入文件太多（最多 %1 个）</source>
        <translation>Too many input files (at most %1)</translation>
    </message>
    <message>
        <source>输出文件太多（最多 %1 个）</source>
        <translation>Too many output files (at most %1)</translation>
    </message>
    <message>
        <source>选项的值无效！</source>
        <translation>Invalid value for Option!</translation>
    </message>
    <message>
        <source>无效的比特流滤镜 %1</source>
        <translation>Invalid BitstreamFilter %1</translation>
    </message>
    <message>
        <source>找不到指定的节目编号</source>
        <translation>Specified program id not found</translation>
    </message>
    <message>
        <source>没有登记为“%1”的流</source>
        <translation>No stream is registered as &apos;%1&apos;</translation>
    </message>
    <message>
        <source>字幕只能从文字转为文字，或从图像转为图像</source>
        <translation>Subtitle encoding currently only possible from text to text or bitmap to bitmap</translation>
    </message>
    <message>
        <source>复制音频时不能改变音量</source>
        <translation>-acodec copy and -vol are incompatible (frames are not decoded)</translation>
    </message>
    <message>
        <source>时间点超出了媒体的长度！</source>
        <translation>The position lies beyond the end of the media!</translation>
    </message>
    <message>
        <source>无法定位到 %1</source>
        <translation>could not seek to position %1</translation>
    </message>
    <message>
        <source>任务数据库 av.cfg 被另一个程序锁住了</source>
        <translation>The task store av.cfg is locked by another program</translation>
    </message>
    <message>
        <source>任务数据库 av.cfg 是只读的</source>
        <translation>The task store av.cfg is read-only</translation>
    </message>
    <message>
        <source>磁盘已满，任务数据库 av.cfg 写不进去</source>
        <translation>The disk is full: the task store av.cfg cannot be written</translation>
    </message>
    <message>
        <source>读写任务数据库 av.cfg 时出错</source>
        <translation>The task store av.cfg could not be read or written (disk I/O error)</translation>
    </message>
    <message>
        <source>打不开任务数据库 av.cfg</source>
        <translation>The task store av.cfg cannot be opened</translation>
    </message>
    <message>
        <source>没有这个文件或文件夹</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>没有权限</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>磁盘空间不足</source>
        <translation>No space left on device</translation>
    </message>
    <message>
        <source>文件系统是只读的</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>输入的数据无效</source>
        <translation>Invalid data found when processing input</translation>
    </message>
    <message>
        <source>输入/输出错误</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>这是一个文件夹</source>
        <translation>Is a directory</translation>
    </message>
    <message>
        <source>打不开文件%1</source>
        <translation>Cannot open the file%1</translation>
    </message>
    <message>
        <source>打不开:%1</source>
        <translation>Cannot open:%1</translation>
    </message>
    <message>
        <source>目标文件已存在: %1</source>
        <translation>The target file exists already: %1</translation>
    </message>
    <message>
        <source>输出文件与源文件相同: %1</source>
        <translation>The output file is the source file: %1</translation>
    </message>
    <message>
        <source>打不开DVD</source>
        <translation>Cannot open the DVD</translation>
    </message>
    <message>
        <source>打不开标题</source>
        <translation>Cannot open the title</translation>
    </message>
    <message>
        <source>输出检查: %1</source>
        <translation>Output check: %1</translation>
    </message>
    <message>
        <source>此任务正由另一个程序转换</source>
        <translation>Another program is converting this task</translation>
    </message>
    <message>
        <source>此任务已由另一个程序转换</source>
        <translation>Another program has converted this task</translation>
    </message>
</context>
<context>
    <name>ProfileCategory</name>
    <message>
        <source>视频</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>音频</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>手机和3gp</source>
        <translation>Phones and 3GP</translation>
    </message>
    <message>
        <source>Flash视频</source>
        <translation>Flash Video</translation>
    </message>
    <message>
        <source>现代设备与格式</source>
        <translation>Modern Formats</translation>
    </message>
</context>
<context>
    <name>TVeltranoApp</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Tellurix软件: 视频转换</source>
        <translation>Tellurix Software: video conversion</translation>
    </message>
    <message>
        <source>本次运行的界面语言: en 或 zh</source>
        <translation>The interface language of this run: en or zh</translation>
    </message>
    <message>
        <source>要转换的文件</source>
        <translation>Files to convert</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TAVDesktopAlert</name>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>任务完成！点击打开文件夹.</source>
        <translation>Done! Click to open the folder.</translation>
    </message>
    <message>
        <source>%1 does not exists.</source>
        <translation>%1 does not exist.</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TAVPreviewWidget</name>
    <message>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TCategoryCommands</name>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>新建分类</source>
        <translation>New Category</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>属性</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>删除任务</source>
        <translation>Delete Task</translation>
    </message>
    <message>
        <source>打开原始文件</source>
        <translation>Open Source File</translation>
    </message>
    <message>
        <source>打开已转换完的文件</source>
        <translation>Open Converted File</translation>
    </message>
    <message>
        <source>打开目录</source>
        <translation>Show in Folder</translation>
    </message>
    <message>
        <source>Do you want to delete the selected category?</source>
        <translation>Do you want to delete the selected category?</translation>
    </message>
    <message>
        <source>%1: 不是这个任务写的文件</source>
        <translation>%1: the task did not write this file</translation>
    </message>
    <message>
        <source>%1: 任务写完之后被改过</source>
        <translation>%1: changed since the task wrote it</translation>
    </message>
    <message>
        <source>%1: 是另一个任务的目标文件</source>
        <translation>%1: the target file of another task</translation>
    </message>
    <message>
        <source>下列文件没有删除:</source>
        <translation>These files were not deleted:</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TDirectoryEdit</name>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TDvdCombo</name>
    <message>
        <source>打开DVD文件夹或映像…</source>
        <translation>Open a DVD Folder or Image…</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFileNameEdit</name>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFilterDialog</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormAbout</name>
    <message>
        <source>关于...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Tellurix软件</source>
        <translation>Tellurix Software</translation>
    </message>
    <message>
        <source>版本  %1   </source>
        <translation>Version  %1   </translation>
    </message>
    <message>
        <source>Tellurix以后将致力于为你提供更好的软件体验，</source>
        <translation>Tellurix will keep working to give you better software,</translation>
    </message>
    <message>
        <source>当然我们的软件会一直免费下去，这需要你的宣传，谢谢</source>
        <translation>and our software will always stay free. Please tell others about it. Thank you!</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormCategory</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>名称:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>路径:</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>New Category</source>
        <translation>New Category</translation>
    </message>
    <message>
        <source>Category Properties</source>
        <translation>Category Properties</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormDelete</name>
    <message>
        <source>删除原文件</source>
        <translation>Delete the source file</translation>
    </message>
    <message>
        <source>删除已转换完的文件</source>
        <translation>Delete the converted file</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>确认删除吗？</source>
        <translation>Confirm Deletion</translation>
    </message>
    <message>
        <source>确认删除吗?</source>
        <translation>Do you really want to delete?</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormEditProfile</name>
    <message>
        <source>编辑配置文件</source>
        <translation>Edit Profiles</translation>
    </message>
    <message>
        <source>新建音频输出配置</source>
        <translation>New Audio Profile</translation>
    </message>
    <message>
        <source>New Audio Profile</source>
        <translation>New Audio Profile</translation>
    </message>
    <message>
        <source>新建视频输出配置</source>
        <translation>New Video Profile</translation>
    </message>
    <message>
        <source>New Video Profile</source>
        <translation>New Video Profile</translation>
    </message>
    <message>
        <source>删除输出配置</source>
        <translation>Delete Profile</translation>
    </message>
    <message>
        <source>Delete Profile</source>
        <translation>Delete Profile</translation>
    </message>
    <message>
        <source>保存并退出</source>
        <translation>Save and Exit</translation>
    </message>
    <message>
        <source>Save and Exit</source>
        <translation>Save and Exit</translation>
    </message>
    <message>
        <source>Are you sure to delete the profile?</source>
        <translation>Are you sure you want to delete the profile?</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormFileSettings</name>
    <message>
        <source>为所选文件设置</source>
        <translation>Settings of the Selected Files</translation>
    </message>
    <message>
        <source>%1 个文件: %2</source>
        <translation>%1 files: %2</translation>
    </message>
    <message>
        <source>自己的输出配置</source>
        <translation>Own output profile</translation>
    </message>
    <message>
        <source>自己的时间段</source>
        <translation>Own time span</translation>
    </message>
    <message>
        <source>自己的滤镜</source>
        <translation>Own filters</translation>
    </message>
    <message>
        <source>未勾选的部分使用向导中的统一设置。</source>
        <translation>Unticked parts use the wizard&apos;s settings for all files.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请选择输出配置</source>
        <translation>Please choose an output profile</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormLogoFilter</name>
    <message>
        <source>添加LOGO</source>
        <translation>Add Logo</translation>
    </message>
    <message>
        <source>输入文件</source>
        <translation>Input File</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormMain</name>
    <message>
        <source>Tellurix软件</source>
        <translation>Tellurix Software</translation>
    </message>
    <message>
        <source>免费视频转换：手机、播放器、游戏机、DVD，一步完成</source>
        <translation>Free video conversion for phones, players, consoles and DVD</translation>
    </message>
    <message>
        <source>免费Veltrano-Tellurix制造</source>
        <translation>Veltrano, free from Tellurix</translation>
    </message>
    <message>
        <source>详细设置</source>
        <translation>Options...</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>关于...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Tellurix官网</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>问题反馈</source>
        <translation>Bug Report</translation>
    </message>
    <message>
        <source>Bug Report</source>
        <translation>Bug Report</translation>
    </message>
    <message>
        <source>捐助我们</source>
        <translation>Make a Donation</translation>
    </message>
    <message>
        <source>Make a donation</source>
        <translation>Make a donation</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>在线升级</source>
        <translation>Live Update</translation>
    </message>
    <message>
        <source>Live Update</source>
        <translation>Live Update</translation>
    </message>
    <message>
        <source>Audio Video Player</source>
        <translation>Audio Video Player</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message numerus="yes">
        <source>正在转换: %n 个任务</source>
        <translation>
            <numerusform>Converting: %n task</numerusform>
            <numerusform>Converting: %n tasks</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 – %2</source>
        <translation>%1 – %2</translation>
    </message>
    <message>
        <source>全部完成还需: %1</source>
        <translation>All done in: %1</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormNewConversion</name>
    <message>
        <source>转换向导： 先选择&quot;输入文件&quot;  再设置&quot;输出配置&quot;   最后点&quot;开始转换&quot;</source>
        <translation>Conversion Wizard: first choose the &quot;Input File&quot;, then the &quot;Output Profile&quot;, last click &quot;Start Converting&quot;</translation>
    </message>
    <message>
        <source>&lt; 返回</source>
        <translation>&lt; Back</translation>
    </message>
    <message>
        <source>更多选项 &gt;</source>
        <translation>More Options &gt;</translation>
    </message>
    <message>
        <source>开始转换(&amp;S)</source>
        <translation>&amp;Start Converting</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>选择要转的文件</source>
        <translation>Choose the File to Convert</translation>
    </message>
    <message>
        <source>视频文件</source>
        <translation>Video File</translation>
    </message>
    <message>
        <source>Dvd</source>
        <translation>DVD</translation>
    </message>
    <message>
        <source>编辑配置文件</source>
        <translation>Edit Profiles</translation>
    </message>
    <message>
        <source>输出配置:</source>
        <translation>Output Profile:</translation>
    </message>
    <message>
        <source>保存路径:</source>
        <translation>Save As:</translation>
    </message>
    <message>
        <source>输入文件:</source>
        <translation>Input File:</translation>
    </message>
    <message>
        <source>打开DVD文件夹或映像…</source>
        <translation>Open a DVD Folder or Image…</translation>
    </message>
    <message>
        <source>光驱:</source>
        <translation>Drive:</translation>
    </message>
    <message>
        <source>标题:</source>
        <translation>Title:</translation>
    </message>
    <message>
        <source>拍摄角度:</source>
        <translation>Angle:</translation>
    </message>
    <message>
        <source>开始节:</source>
        <translation>From Chapter:</translation>
    </message>
    <message>
        <source>终了节:</source>
        <translation>To Chapter:</translation>
    </message>
    <message>
        <source>设置开始点</source>
        <translation>Set Start</translation>
    </message>
    <message>
        <source>设置结束点</source>
        <translation>Set End</translation>
    </message>
    <message>
        <source>时间设置:</source>
        <translation>Time Span:</translation>
    </message>
    <message>
        <source>更多设置...</source>
        <translation>More Settings...</translation>
    </message>
    <message>
        <source>新建标准水印</source>
        <translation>New Standard Filter</translation>
    </message>
    <message>
        <source>新建Logo水印</source>
        <translation>New Logo Watermark</translation>
    </message>
    <message>
        <source>新建文字水印</source>
        <translation>New Text Watermark</translation>
    </message>
    <message>
        <source>新建字幕</source>
        <translation>New Subtitles</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>编辑水印配置</source>
        <translation>Edit Filter</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>共 %1 个文件</source>
        <translation>%1 files in all</translation>
    </message>
    <message>
        <source>无效的文件</source>
        <translation>Invalid file</translation>
    </message>
    <message>
        <source>打不开DVD</source>
        <translation>Cannot open the DVD</translation>
    </message>
    <message>
        <source>输出文件与源文件相同: %1</source>
        <translation>The output file is the source file: %1</translation>
    </message>
    <message>
        <source>另一个未完成的任务已在写这个目标文件: %1</source>
        <translation>Another unfinished task writes this target file already: %1</translation>
    </message>
    <message>
        <source>目标文件已存在，是否替换？</source>
        <translation>The target file exists already. Replace it?</translation>
    </message>
    <message>
        <source>正在检查文件…</source>
        <translation>Checking the files…</translation>
    </message>
    <message>
        <source>开始点必须早于结束点</source>
        <translation>The start must come before the end</translation>
    </message>
    <message>
        <source>结束点必须晚于开始点</source>
        <translation>The end must come after the start</translation>
    </message>
    <message>
        <source>正在读取DVD…</source>
        <translation>Reading the DVD…</translation>
    </message>
    <message>
        <source>添加文件夹…</source>
        <translation>Add Folder…</translation>
    </message>
    <message>
        <source>%1声道</source>
        <translation>%1 ch</translation>
    </message>
    <message>
        <source>源文件</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>目标文件</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>预计大小</source>
        <translation>Est. size</translation>
    </message>
    <message>
        <source>音轨:</source>
        <translation>Audio track:</translation>
    </message>
    <message>
        <source>字幕:</source>
        <translation>Subtitles:</translation>
    </message>
    <message>
        <source>添加文件夹</source>
        <translation>Add Folder</translation>
    </message>
    <message>
        <source>预计输出大小: 共 %1</source>
        <translation>Estimated output size: %1 in all</translation>
    </message>
    <message>
        <source>预计输出大小: %1</source>
        <translation>Estimated output size: %1</translation>
    </message>
    <message>
        <source>不是媒体文件</source>
        <translation>not media</translation>
    </message>
    <message>
        <source>无法读取: %1</source>
        <translation>unreadable: %1</translation>
    </message>
    <message>
        <source>跳过 %1 个文件: %2</source>
        <translation>Skipped %1 files: %2</translation>
    </message>
    <message>
        <source>按配置</source>
        <translation>As the profile says</translation>
    </message>
    <message>
        <source>全部音轨</source>
        <translation>All audio tracks</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>无法按所选的音轨和字幕转换 %1: %2</source>
        <translation>Cannot convert %1 with the chosen audio and subtitle tracks: %2</translation>
    </message>
    <message>
        <source>结尾</source>
        <translation>end</translation>
    </message>
    <message>
        <source>时间段 %1 超出了文件的长度: %2</source>
        <translation>The time span %1 lies beyond the length of the file: %2</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>为所选文件设置…</source>
        <translation>Settings for the Selected Files…</translation>
    </message>
    <message>
        <source>为所选的文件选择自己的输出配置、时间段或滤镜</source>
        <translation>Give the selected files their own output profile, time span or filters</translation>
    </message>
    <message>
        <source>恢复为统一设置</source>
        <translation>Back to the Common Settings</translation>
    </message>
    <message>
        <source>统一设置</source>
        <translation>common settings</translation>
    </message>
    <message>
        <source>输出配置已删除</source>
        <translation>profile deleted</translation>
    </message>
    <message>
        <source>无滤镜</source>
        <translation>no filters</translation>
    </message>
    <message>
        <source>%1 个滤镜</source>
        <translation>%1 filter(s)</translation>
    </message>
    <message>
        <source>文件的输出配置已被删除: %1</source>
        <translation>The output profile of the file has been deleted: %1</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormOptions</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>常规</source>
        <translation>General</translation>
    </message>
    <message>
        <source>性能</source>
        <translation>Performance</translation>
    </message>
    <message>
        <source>Show Alert When Conversion Completed</source>
        <translation>Show Alert When Conversion Completed</translation>
    </message>
    <message>
        <source>Output Folder</source>
        <translation>Output Folder</translation>
    </message>
    <message>
        <source>自动 (Automatic)</source>
        <translation>自动 (Automatic)</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>界面语言 / Language</source>
        <translation>界面语言 / Language</translation>
    </message>
    <message>
        <source>更改在程序重新启动后生效。</source>
        <translation>A change of language applies after a restart.</translation>
    </message>
    <message>
        <source>Automatic(use all CPU(s))</source>
        <translation>Automatic(use all CPU(s))</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>High</source>
        <translation>High</translation>
    </message>
    <message>
        <source>Thread Priority</source>
        <translation>Thread Priority</translation>
    </message>
    <message>
        <source>Thread Count</source>
        <translation>Thread Count</translation>
    </message>
    <message>
        <source>直接复制已符合设备要求的音视频流 (不重新编码)</source>
        <translation>Copy Streams That Already Fit the Device (No Re-encoding)</translation>
    </message>
    <message>
        <source>用为设备制作的输出配置转换时, 已经符合设备要求的流原样复制, 快且无损</source>
        <translation>With a profile made for a device, streams that already fit it are copied as they are: fast and lossless</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormStdFilter</name>
    <message>
        <source>标准过滤</source>
        <translation>Standard Filter</translation>
    </message>
    <message>
        <source>垂直翻转</source>
        <translation>Flip Vertically</translation>
    </message>
    <message>
        <source>水平翻转</source>
        <translation>Flip Horizontally</translation>
    </message>
    <message>
        <source>反面</source>
        <translation>Negative</translation>
    </message>
    <message>
        <source>旋转</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>绘制窗口</source>
        <translation>Draw Box</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>宽</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>高</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>颜色</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>角度</source>
        <translation>Angle</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormSubtitleFilter</name>
    <message>
        <source>字幕设置</source>
        <translation>Subtitle Settings</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>字体文件</source>
        <translation>Font File</translation>
    </message>
    <message>
        <source>字体颜色</source>
        <translation>Font Color</translation>
    </message>
    <message>
        <source>Code Page</source>
        <translation>Code Page</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFormTextFilter</name>
    <message>
        <source>文字水印</source>
        <translation>Text Watermark</translation>
    </message>
    <message>
        <source>背景颜色</source>
        <translation>Background Color</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>字体文字</source>
        <translation>Font File</translation>
    </message>
    <message>
        <source>文字颜色</source>
        <translation>Text Color</translation>
    </message>
    <message>
        <source>坐标X,Y</source>
        <translation>Position X, Y</translation>
    </message>
    <message>
        <source>文字大小</source>
        <translation>Text Size</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFrameInfo</name>
    <message>
        <source>Clear Log</source>
        <translation>Clear Log</translation>
    </message>
    <message>
        <source>Task Info</source>
        <translation>Task Info</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>Logs</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFrameProfile</name>
    <message>
        <source>音频设置</source>
        <translation>Audio Settings</translation>
    </message>
    <message>
        <source>取样率</source>
        <translation>Sample Rate</translation>
    </message>
    <message>
        <source>音频编码</source>
        <translation>Audio Codec</translation>
    </message>
    <message>
        <source>音频声道</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>声频码率(kbps)</source>
        <translation>Audio Bitrate (kbps)</translation>
    </message>
    <message>
        <source>视频设置</source>
        <translation>Video Settings</translation>
    </message>
    <message>
        <source>尺寸</source>
        <translation>Frame Size</translation>
    </message>
    <message>
        <source>视频编码</source>
        <translation>Video Codec</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>Frame Rate</translation>
    </message>
    <message>
        <source>视频码率(kbps)</source>
        <translation>Video Bitrate (kbps)</translation>
    </message>
    <message>
        <source>详细描述</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>文件后缀</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>文件格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>按码率</source>
        <translation>By Bitrate</translation>
    </message>
    <message>
        <source>音频质量 (VBR)</source>
        <translation>Audio Quality (VBR)</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>No Limit</translation>
    </message>
    <message>
        <source>质量 (CRF)</source>
        <translation>Quality (CRF)</translation>
    </message>
    <message>
        <source>最大尺寸</source>
        <translation>Largest Size</translation>
    </message>
    <message>
        <source>最高帧率</source>
        <translation>Highest Frame Rate</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>直接复制已符合该设备的流, 并在转换后检查设备能否播放</source>
        <translation>Copy streams that already fit this device, and check after converting that the device can play the output</translation>
    </message>
    <message>
        <source>保留所有音轨和字幕</source>
        <translation>Keep Every Audio and Subtitle Track</translation>
    </message>
    <message>
        <source>目标设备</source>
        <translation>Device</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TFrameVideoInfo</name>
    <message>
        <source>视频信息</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>屏幕尺寸</source>
        <translation>Frame Size</translation>
    </message>
    <message>
        <source>视频编码</source>
        <translation>Video Codec</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>Frame Rate</translation>
    </message>
    <message>
        <source>码率(kbps)</source>
        <translation>Bitrate (kbps)</translation>
    </message>
    <message>
        <source>音频信息</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>采样率</source>
        <translation>Sample Rate</translation>
    </message>
    <message>
        <source>音频编码</source>
        <translation>Audio Codec</translation>
    </message>
    <message>
        <source>音频声道</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>与源相同</source>
        <translation>Same as source</translation>
    </message>
    <message>
        <source>直接复制</source>
        <translation>Copied as is</translation>
    </message>
    <message>
        <source>质量 %1</source>
        <translation>Quality %1</translation>
    </message>
    <message>
        <source>最大 %1x%2</source>
        <translation>At most %1x%2</translation>
    </message>
    <message>
        <source>最高 %1</source>
        <translation>At most %1</translation>
    </message>
</context>
<context>
    <name>veltrano::gui::TRunCommands</name>
    <message>
        <source>添加任务</source>
        <translation>Add Task</translation>
    </message>
    <message>
        <source>New Conversion</source>
        <translation>New Conversion</translation>
    </message>
    <message>
        <source>开始转换</source>
        <translation>Start Converting</translation>
    </message>
    <message>
        <source>开始转</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Start Task</source>
        <translation>Start Task</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Pause Task</source>
        <translation>Pause Task</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Stop Task</source>
        <translation>Stop Task</translation>
    </message>
    <message>
        <source>完成后关机</source>
        <translation>Shut Down When Done</translation>
    </message>
    <message>
        <source>Shutdown PC When Done</source>
        <translation>Shutdown PC When Done</translation>
    </message>
</context>
</TS>
