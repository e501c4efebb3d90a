#include "resources/MessageTexts.h"

namespace vaultpack {
namespace {

using enum MessageId;

// Traditional Chinese (Taiwan, Hong Kong) translations of the English texts.
constexpr MessageText kTexts[] = {
    {AboutMenuEntry, "關於 Vaultpack(&A)..."},
    {ColumnName, "名稱"},
    {ColumnType, "類型"},
    {ColumnPath, "路徑"},
    {ColumnSize, "大小"},
    {ListLimitReached, "無法再將檔案加入封存檔，已達數量上限。"},
    {CaptionInformation, "資訊"},
    {CaptionError, "錯誤"},
    {CreateZipFailed, "無法建立 ZIP 檔案。"},
    {ContinueWithNextFile, "要繼續處理下一個檔案嗎？"},
    {CloseZipFailed, "無法關閉 ZIP 檔案。"},
    {ArchiveCreated, "已成功建立加密封存檔"},
    {EnterPassword, "請輸入密碼。"},
    {PasswordInvalidCharacters, "密碼含有無效的字元。"},
    {PasswordsDoNotMatch, "兩次輸入的密碼不一致。"},
    {CompressionRequired, "如果選取了多個檔案並啟用加密選項，\n就必須同時啟用壓縮。"},
    {NoFilesSelected, "您尚未選取任何檔案"},
    {WrongPassword, "密碼錯誤！"},
    {FileDecrypted, "檔案已成功解密"},
    {DecryptFailed, "無法解密檔案"},
    {DecryptOverwriteQuestion, "解密的目的檔案\n \"%1\"\n 已經存在，要覆寫嗎？"},
    {CaptionQuestion, "詢問"},
    {ChooseFolderToAdd, "請選擇要加入封存檔的資料夾"},
    {ChooseFolderToUnzip, "請選擇要將封存檔解壓縮到哪個資料夾"},
    {OpenZipFailed, "無法開啟 ZIP 檔案"},
    {UnzipOverwriteQuestion, "\"%1\" 已經存在，要覆寫嗎？"},
    {UnzipSummary, "已成功解壓縮 %1 個檔案，共 %2 個"},
    {EncryptFailed, "加密失敗"},
    {ZipFailed, "壓縮失敗"},
    {EncryptZippedFile, "加密壓縮後的檔案"},
    {StatusZipping, "正在壓縮"},
    {StatusEncrypting, "正在加密"},
    {NotEncryptedFile, "無法解密：此檔案不是加密檔案。"},
    {VersionMismatch, "無法解密：加密檔案的格式版本不符"},
    {ProgramUninstalled, "程式已解除安裝"},
    {EncryptFileOption, "加密檔案"},
    {ZipFileOption, "壓縮檔案"},
    {ZipThenEncrypt, "先壓縮再加密"},
    {EncryptThenZip, "先加密再壓縮"},
    {OperationOrder, "操作順序"},
    {Options, "選項"},
    {CreateArchiveTitle, "建立封存檔"},
    {Ok, "確定"},
    {Cancel, "取消"},
    {UnzipFileButton, "解壓縮檔案"},
    {DecryptFileButton, "解密檔案"},
    {CreateArchiveButton, "建立封存檔"},
    {AddFiles, "加入檔案"},
    {AddFolders, "加入資料夾"},
    {EnterPasswordLabel, "輸入密碼"},
    {RetypePasswordLabel, "再次輸入密碼"},
    {HintLabel, "提示"},
    {ShowPassword, "顯示密碼"},
    {CreatingArchiveTitle, "正在建立封存檔...."},
    {DecryptionPasswordTitle, "解密密碼"},
    {DecryptingProgressTitle, "解密進度"},
    {UnzippingProgressTitle, "解壓縮進度"},
    {StartUnzipping, "開始解壓縮..."},
    {StatusDecrypting, "正在解密 \"%s\""},
    {AboutTitle, "關於"},
    {StatusUnzipping, "正在解壓縮 \"%s\""},
    {EncryptionPasswordTitle, "加密密碼"},
    {ZipFilesOption, "壓縮所有檔案"},
};

}  // namespace

std::span<const MessageText> TraditionalChineseMessageTexts() { return kTexts; }

}  // namespace vaultpack
