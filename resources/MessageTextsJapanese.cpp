#include "resources/MessageTexts.h"

namespace vaultpack {
namespace {

using enum MessageId;

// Japanese translations of the English texts.
constexpr MessageText kTexts[] = {
    {AboutMenuEntry, "Vaultpack のバージョン情報(&A)..."},
    {ColumnName, "名前"},
    {ColumnType, "種類"},
    {ColumnPath, "パス"},
    {ColumnSize, "サイズ"},
    {ListLimitReached, "これ以上アーカイブにファイルを追加できません。上限に達しました。"},
    {CaptionInformation, "情報"},
    {CaptionError, "エラー"},
    {CreateZipFailed, "ZIP ファイルを作成できませんでした。"},
    {ContinueWithNextFile, "次のファイルに進みますか？"},
    {CloseZipFailed, "ZIP ファイルを閉じられませんでした。"},
    {ArchiveCreated, "暗号化アーカイブを作成しました"},
    {EnterPassword, "パスワードを入力してください。"},
    {PasswordInvalidCharacters, "パスワードに使用できない文字が含まれています。"},
    {PasswordsDoNotMatch, "パスワードが一致しません。"},
    {CompressionRequired, "複数のファイルを選択して暗号化を有効にする場合は、\n圧縮も有効にする必要があります。"},
    {NoFilesSelected, "ファイルが選択されていません"},
    {WrongPassword, "パスワードが違います！"},
    {FileDecrypted, "ファイルを復号しました"},
    {DecryptFailed, "ファイルを復号できませんでした"},
    {DecryptOverwriteQuestion, "復号先のファイル\n \"%1\"\n は既に存在します。上書きしますか？"},
    {CaptionQuestion, "確認"},
    {ChooseFolderToAdd, "アーカイブに追加するフォルダーを選択してください"},
    {ChooseFolderToUnzip, "アーカイブの展開先フォルダーを選択してください"},
    {OpenZipFailed, "ZIP ファイルを開けませんでした"},
    {UnzipOverwriteQuestion, "\"%1\" は既に存在します。上書きしますか？"},
    {UnzipSummary, "%1 / %2 個のファイルを展開しました"},
    {EncryptFailed, "暗号化に失敗しました"},
    {ZipFailed, "圧縮に失敗しました"},
    {EncryptZippedFile, "圧縮したファイルを暗号化"},
    {StatusZipping, "圧縮中"},
    {StatusEncrypting, "暗号化中"},
    {NotEncryptedFile, "復号できません。このファイルは暗号化ファイルではありません。"},
    {VersionMismatch, "復号できません。暗号化ファイルの形式のバージョンが一致しません"},
    {ProgramUninstalled, "プログラムをアンインストールしました"},
    {EncryptFileOption, "ファイルを暗号化"},
    {ZipFileOption, "ファイルを圧縮"},
    {ZipThenEncrypt, "圧縮してから暗号化"},
    {EncryptThenZip, "暗号化してから圧縮"},
    {OperationOrder, "処理の順序"},
    {Options, "オプション"},
    {CreateArchiveTitle, "アーカイブの作成"},
    {Ok, "OK"},
    {Cancel, "キャンセル"},
    {UnzipFileButton, "ファイルを展開"},
    {DecryptFileButton, "ファイルを復号"},
    {CreateArchiveButton, "アーカイブを作成"},
    {AddFiles, "ファイルを追加"},
    {AddFolders, "フォルダーを追加"},
    {EnterPasswordLabel, "パスワードを入力"},
    {RetypePasswordLabel, "パスワードを再入力"},
    {HintLabel, "ヒント"},
    {ShowPassword, "パスワードを表示"},
    {CreatingArchiveTitle, "アーカイブを作成しています...."},
    {DecryptionPasswordTitle, "復号パスワード"},
    {DecryptingProgressTitle, "復号の進行状況"},
    {UnzippingProgressTitle, "展開の進行状況"},
    {StartUnzipping, "展開を開始しています..."},
    {StatusDecrypting, "\"%s\" を復号しています"},
    {AboutTitle, "バージョン情報"},
    {StatusUnzipping, "\"%s\" を展開しています"},
    {EncryptionPasswordTitle, "暗号化パスワード"},
    {ZipFilesOption, "ファイルをまとめて圧縮"},
};

}  // namespace

std::span<const MessageText> JapaneseMessageTexts() { return kTexts; }

}  // namespace vaultpack
