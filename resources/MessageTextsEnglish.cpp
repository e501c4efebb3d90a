#include "resources/MessageTexts.h"

namespace vaultpack {
namespace {

using enum MessageId;

// The reference texts; the translations follow them row by row. The wording
// (including "destionation" and "unziping") is the product's established text.
constexpr MessageText kTexts[] = {
    {AboutMenuEntry, "&About Vaultpack..."},
    {ColumnName, "Name"},
    {ColumnType, "Type"},
    {ColumnPath, "Path"},
    {ColumnSize, "Size"},
    {ListLimitReached, "Cannot add more files to archive. Maximum limit reached."},
    {CaptionInformation, "Information"},
    {CaptionError, "Error"},
    {CreateZipFailed, "Failed to create zip file."},
    {ContinueWithNextFile, "Continue with next file?"},
    {CloseZipFailed, "Failed to close zip file."},
    {ArchiveCreated, "Your Encrypted Archive has been successfully created"},
    {EnterPassword, "Please enter the password."},
    {PasswordInvalidCharacters, "The password contains invalid characters."},
    {PasswordsDoNotMatch, "Passwords do not match."},
    {CompressionRequired,
     "Compression is required if you selected\nmultiple files, and enable the encryption option."},
    {NoFilesSelected, "You did not select any files"},
    {WrongPassword, "Wrong password!"},
    {FileDecrypted, "Your file has been Decrypted successfully"},
    {DecryptFailed, "Failed to decrypt file"},
    {DecryptOverwriteQuestion,
     "Decryption's destionation file\n \"%1\"\n already exists, overwrite it?"},
    {CaptionQuestion, "Question"},
    {ChooseFolderToAdd, "Please choose the folder to add to archive"},
    {ChooseFolderToUnzip, "Please choose the folder to unzip the archive to"},
    {OpenZipFailed, "Failed to open zip file"},
    {UnzipOverwriteQuestion, "\"%1\" already exists, overwrite it?"},
    {UnzipSummary, "%1 out of %2 files have been unzipped successfully"},
    {EncryptFailed, "Failed to encrypt"},
    {ZipFailed, "Failed to zip"},
    {EncryptZippedFile, "Encrypt zipped file"},
    {StatusZipping, "Zipping"},
    {StatusEncrypting, "Encrypting"},
    {NotEncryptedFile, "Cannot decrypt; file is not an encrypted file."},
    {VersionMismatch, "Cannot decrypt; encrypted file format version mismatch"},
    {ProgramUninstalled, "Program Uninstalled"},
    {EncryptFileOption, "Encrypt file"},
    {ZipFileOption, "Zip file"},
    {ZipThenEncrypt, "Zip then Encrypt"},
    {EncryptThenZip, "Encrypt then Zip"},
    {OperationOrder, "Operation Order"},
    {Options, "Options"},
    {CreateArchiveTitle, "Create Archive"},
    {Ok, "OK"},
    {Cancel, "Cancel"},
    {UnzipFileButton, "Unzip File"},
    {DecryptFileButton, "Decrypt File"},
    {CreateArchiveButton, "Create Archive"},
    {AddFiles, "Add Files"},
    {AddFolders, "Add Folders"},
    {EnterPasswordLabel, "Enter Password"},
    {RetypePasswordLabel, "Retype Password"},
    {HintLabel, "Hint"},
    {ShowPassword, "Show password"},
    {CreatingArchiveTitle, "Creating Archive...."},
    {DecryptionPasswordTitle, "Decryption Password"},
    {DecryptingProgressTitle, "Decrypting Progress"},
    {UnzippingProgressTitle, "Unzipping Progress"},
    {StartUnzipping, "Start unziping..."},
    {StatusDecrypting, "Decrypting \"%s\""},
    {AboutTitle, "About"},
    {StatusUnzipping, "Unzipping \"%s\""},
    {EncryptionPasswordTitle, "Encryption Password"},
    {ZipFilesOption, "Zip files"},
};

}  // namespace

std::span<const MessageText> EnglishMessageTexts() { return kTexts; }

}  // namespace vaultpack
