#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jobs/JobRecords.h"

namespace vaultpack {

// The choices of the create-archive options dialog and their rules, apart
// from the widgets: which boxes are checked, whether OK and the Operation
// Order group are available, and the job record they make.
class ArchiveOptions {
public:
    explicit ArchiveOptions(bool multipleItems) : multiple_(multipleItems) {}

    // Encrypt checked: with the password dialog's password and hint, or
    // nothing when it was cancelled, which leaves the box unchecked. With
    // several items Zip is checked too, as several files are only encrypted
    // as one archive.
    void CheckEncrypt(std::optional<std::pair<std::string, std::string>> passwordAndHint);
    // Encrypt unchecked: the hint is forgotten, and the password too unless
    // the ZIP is protected with it.
    void UncheckEncrypt();
    // Protect the ZIP itself with AES-256, with the password given; without
    // one, with the Encrypt password when there is one (one password for
    // both), else the box stays unchecked (the password dialog was
    // cancelled). Only offered while Zip is checked.
    void CheckAes(std::optional<std::string> password);
    void UncheckAes();
    // Zip checked or unchecked. Unchecking is refused for several encrypted
    // items (the caller shows why); returns false then. Unchecking also
    // unchecks the ZIP's protection.
    bool SetZip(bool checked);
    // "Encrypt then Zip" (true) or "Zip then Encrypt" chosen in the order group.
    void SetEncryptFirst(bool encryptFirst) { order_ = encryptFirst ? 0 : -1; }

    bool Multiple() const { return multiple_; }
    bool Encrypt() const { return encrypt_; }
    bool Zip() const { return zip_; }
    bool Aes() const { return aes_; }
    bool AesShown() const { return zip_; }
    // Whether a password is at hand already (from Encrypt) for the ZIP.
    bool HasPassword() const { return encrypt_ || aes_; }
    bool EncryptFirst() const { return order_ == 0; }
    bool OkEnabled() const { return encrypt_ || zip_; }
    // The order only matters for one item that is zipped and encrypted.
    bool OrderGroupShown() const { return !multiple_ && encrypt_ && zip_; }

    CreateArchiveParams JobRecord(std::vector<ArchiveItem> items) const;

private:
    // Shows or hides the order group after a change; showing it selects
    // "Encrypt then Zip".
    void Refresh();

    bool multiple_;
    bool encrypt_ = false;
    bool zip_ = false;
    bool aes_ = false;
    int order_ = -1;
    bool orderGroupShown_ = false;
    std::string password_;
    std::string hint_;
};

}  // namespace vaultpack
