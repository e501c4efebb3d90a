#include "ui/ArchiveOptions.h"

namespace vaultpack {

void ArchiveOptions::CheckEncrypt(std::optional<std::pair<std::string, std::string>> passwordAndHint) {
    if (passwordAndHint) {
        encrypt_ = true;
        password_ = std::move(passwordAndHint->first);
        hint_ = std::move(passwordAndHint->second);
        zip_ = zip_ || multiple_;
    }
    Refresh();
}

void ArchiveOptions::UncheckEncrypt() {
    encrypt_ = false;
    if (!aes_) {
        password_.clear();
    }
    hint_.clear();
    Refresh();
}

void ArchiveOptions::CheckAes(std::optional<std::string> password) {
    if (!zip_) {
        return;
    }
    if (password) {
        password_ = std::move(*password);
        aes_ = true;
    } else if (encrypt_) {
        aes_ = true;  // the Encrypt password protects the ZIP too
    }
}

void ArchiveOptions::UncheckAes() {
    aes_ = false;
    if (!encrypt_) {
        password_.clear();
    }
}

bool ArchiveOptions::SetZip(bool checked) {
    if (!checked && multiple_ && encrypt_) {
        return false;
    }
    zip_ = checked;
    if (!zip_) {
        UncheckAes();
    }
    Refresh();
    return true;
}

void ArchiveOptions::Refresh() {
    const bool shown = OrderGroupShown();
    if (shown && !orderGroupShown_) {
        order_ = 0;
    }
    orderGroupShown_ = shown;
}

CreateArchiveParams ArchiveOptions::JobRecord(std::vector<ArchiveItem> items) const {
    CreateArchiveParams params;
    params.items = std::move(items);
    params.hint = hint_;
    params.password = encrypt_ || aes_ ? password_ : std::string();
    params.aesZip = aes_;
    params.order = order_;
    params.zipEnabled = zip_;
    params.multipleItems = multiple_;
    params.encryptEnabled = encrypt_;
    return params;
}

}  // namespace vaultpack
