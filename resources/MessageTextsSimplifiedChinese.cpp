#include "resources/MessageTexts.h"

namespace vaultpack {
namespace {

using enum MessageId;

// Simplified Chinese (mainland China, Singapore) translations of the English
// texts.
constexpr MessageText kTexts[] = {
    {AboutMenuEntry, "关于 Vaultpack(&A)..."},
    {ColumnName, "名称"},
    {ColumnType, "类型"},
    {ColumnPath, "路径"},
    {ColumnSize, "大小"},
    {ListLimitReached, "无法再向归档添加文件，已达到数量上限。"},
    {CaptionInformation, "信息"},
    {CaptionError, "错误"},
    {CreateZipFailed, "无法创建 ZIP 文件。"},
    {ContinueWithNextFile, "是否继续处理下一个文件？"},
    {CloseZipFailed, "无法关闭 ZIP 文件。"},
    {ArchiveCreated, "已成功创建加密归档"},
    {EnterPassword, "请输入密码。"},
    {PasswordInvalidCharacters, "密码包含无效字符。"},
    {PasswordsDoNotMatch, "两次输入的密码不一致。"},
    {CompressionRequired, "如果选择了多个文件并启用加密选项，\n就必须同时启用压缩。"},
    {NoFilesSelected, "您没有选择任何文件"},
    {WrongPassword, "密码错误！"},
    {FileDecrypted, "文件已成功解密"},
    {DecryptFailed, "无法解密文件"},
    {DecryptOverwriteQuestion, "解密的目标文件\n \"%1\"\n 已存在，是否覆盖？"},
    {CaptionQuestion, "询问"},
    {ChooseFolderToAdd, "请选择要添加到归档的文件夹"},
    {ChooseFolderToUnzip, "请选择将归档解压缩到的文件夹"},
    {OpenZipFailed, "无法打开 ZIP 文件"},
    {UnzipOverwriteQuestion, "\"%1\" 已存在，是否覆盖？"},
    {UnzipSummary, "已成功解压缩 %1 个文件，共 %2 个"},
    {EncryptFailed, "加密失败"},
    {ZipFailed, "压缩失败"},
    {EncryptZippedFile, "加密压缩后的文件"},
    {StatusZipping, "正在压缩"},
    {StatusEncrypting, "正在加密"},
    {NotEncryptedFile, "无法解密：该文件不是加密文件。"},
    {VersionMismatch, "无法解密：加密文件的格式版本不匹配"},
    {ProgramUninstalled, "程序已卸载"},
    {EncryptFileOption, "加密文件"},
    {ZipFileOption, "压缩文件"},
    {ZipThenEncrypt, "先压缩后加密"},
    {EncryptThenZip, "先加密后压缩"},
    {OperationOrder, "操作顺序"},
    {Options, "选项"},
    {CreateArchiveTitle, "创建归档"},
    {Ok, "确定"},
    {Cancel, "取消"},
    {UnzipFileButton, "解压缩文件"},
    {DecryptFileButton, "解密文件"},
    {CreateArchiveButton, "创建归档"},
    {AddFiles, "添加文件"},
    {AddFolders, "添加文件夹"},
    {EnterPasswordLabel, "输入密码"},
    {RetypePasswordLabel, "再次输入密码"},
    {HintLabel, "提示"},
    {ShowPassword, "显示密码"},
    {CreatingArchiveTitle, "正在创建归档...."},
    {DecryptionPasswordTitle, "解密密码"},
    {DecryptingProgressTitle, "解密进度"},
    {UnzippingProgressTitle, "解压缩进度"},
    {StartUnzipping, "开始解压缩..."},
    {StatusDecrypting, "正在解密 \"%s\""},
    {AboutTitle, "关于"},
    {StatusUnzipping, "正在解压缩 \"%s\""},
    {EncryptionPasswordTitle, "加密密码"},
    {ZipFilesOption, "压缩所有文件"},
};

}  // namespace

std::span<const MessageText> SimplifiedChineseMessageTexts() { return kTexts; }

}  // namespace vaultpack
