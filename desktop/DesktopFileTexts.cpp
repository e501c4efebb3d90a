#include "desktop/DesktopFileTexts.h"

#include <string_view>

#include "app/InstalledFiles.h"
#include "app/MessageCatalogue.h"

namespace vaultpack {

namespace {

using Language = MessageCatalogue::Language;

struct Translation {
    Language language;
    std::string_view locale;  // as desktop entries and xml:lang name it
};

constexpr Translation kTranslations[] = {
    {Language::TraditionalChinese, "zh_TW"},
    {Language::Japanese, "ja"},
    {Language::SimplifiedChinese, "zh_CN"},
};

std::string English(MessageId id) { return MessageCatalogue(Language::English).Load(id); }

// "Key=English" and one "Key[locale]=..." line per translation.
std::string DesktopKey(std::string_view key, MessageId id) {
    std::string lines = std::string(key) + "=" + English(id) + "\n";
    for (const Translation& translation : kTranslations) {
        lines += std::string(key) + "[" + std::string(translation.locale) +
                 "]=" + MessageCatalogue(translation.language).Load(id) + "\n";
    }
    return lines;
}

std::string XmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char character : text) {
        switch (character) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += character;
        }
    }
    return escaped;
}

// One element in English and once per translation, each on its own line.
std::string XmlElement(std::string_view indent, std::string_view element, MessageId id) {
    const std::string name(element);
    std::string lines = std::string(indent) + "<" + name + ">" + XmlEscaped(English(id)) + "</" + name + ">\n";
    for (const Translation& translation : kTranslations) {
        lines += std::string(indent) + "<" + name + " xml:lang=\"" + std::string(translation.locale) + "\">" +
                 XmlEscaped(MessageCatalogue(translation.language).Load(id)) + "</" + name + ">\n";
    }
    return lines;
}

// The lines both entries share: the program's icon and how the desktop
// starts it, with `arguments` after the program.
std::string StartLines(std::string_view arguments) {
    return "Icon=" + std::string(ApplicationId()) + "\nExec=@BINDIR@/vaultpack " + std::string(arguments) +
           "\n"
           "TryExec=@BINDIR@/vaultpack\n"
           "Terminal=false\n"
           "StartupNotify=true\n";
}

std::string EncryptedFileIconName() {
    std::string name(EncryptedFileMimeType());
    name[name.find('/')] = '-';
    return name;
}

}  // namespace

std::string DesktopEntryText() {
    const std::string mimeType(EncryptedFileMimeType());
    // "-d" with a file decrypts it; "-d" alone, as the menu starts it, opens
    // the main window as a start without arguments does.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vaultpack\n" +
           DesktopKey("GenericName", MessageId::DesktopGenericName) +
           DesktopKey("Comment", MessageId::DesktopComment) + StartLines("-d %f") +
           "Categories=Utility;Archiving;Compression;\n" +
           DesktopKey("Keywords", MessageId::DesktopKeywords) + "MimeType=" +
           mimeType + ";\n";
}

std::string OpenEntryText() {
    // Offered in "Open With" for both types; never a default (see OpenEntryName).
    return "[Desktop Entry]\n"
           "Type=Application\n" +
           DesktopKey("Name", MessageId::DesktopOpenEntryName) + StartLines("--open %f") +
           "NoDisplay=true\n"
           "MimeType=" +
           std::string(ZipMimeType()) + ";" + std::string(EncryptedFileMimeType()) + ";\n";
}

std::string MimePackageText() {
    // The header starts with "EZC" and the format version, 2.
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" +
           std::string(EncryptedFileMimeType()) + "\">\n" +
           XmlElement("    ", "comment", MessageId::EncryptedFileTypeName) + "    <icon name=\"" +
           EncryptedFileIconName() +
           "\"/>\n"
           "    <glob pattern=\"*.ezc\"/>\n"
           "    <magic priority=\"60\">\n"
           "      <match type=\"string\" value=\"EZC\\x02\" offset=\"0\"/>\n"
           "    </magic>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string MetainfoText(const PackageFacts& facts) {
    const std::string id(ApplicationId());
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<component type=\"desktop-application\">\n"
           "  <id>" +
           id +
           "</id>\n"
           "  <metadata_license>FSFAP</metadata_license>\n"
           "  <project_license>" +
           XmlEscaped(facts.license) +
           "</project_license>\n"
           "  <name>Vaultpack</name>\n" +
           XmlElement("  ", "summary", MessageId::DesktopComment) +
           "  <developer_name>The Vaultpack developers</developer_name>\n"
           "  <description>\n"
           "    <p>Vaultpack packs files and whole folder trees into standard ZIP archives and into\n"
           "      password-protected .ezc containers, and unpacks both again.</p>\n"
           "    <ul>\n"
           "      <li>Create Archive collects files and folders, by its buttons or by dragging them in, and\n"
           "        makes a ZIP archive, an encrypted container, or both nested.</li>\n"
           "      <li>Decrypt File checks the password, shows the hint, restores the file beside the\n"
           "        container and unpacks it when it is an archive made by Vaultpack.</li>\n"
           "      <li>Unzip File extracts a ZIP archive into a folder of your choice.</li>\n"
           "    </ul>\n"
           "    <p>Opening an .ezc file from the file manager asks for its password and decrypts it.\n"
           "      The command-line tool vaultpack-cli does the same from a terminal or a script.</p>\n"
           "  </description>\n"
           "  <url type=\"homepage\">" +
           XmlEscaped(facts.homepage) +
           "</url>\n"
           "  <launchable type=\"desktop-id\">" +
           DesktopEntryName() +
           "</launchable>\n"
           "  <categories>\n"
           "    <category>Utility</category>\n"
           "    <category>Archiving</category>\n"
           "    <category>Compression</category>\n"
           "  </categories>\n"
           "  <provides>\n"
           "    <binary>vaultpack</binary>\n"
           "    <binary>vaultpack-cli</binary>\n"
           "    <mediatype>" +
           std::string(EncryptedFileMimeType()) +
           "</mediatype>\n"
           "  </provides>\n"
           "  <releases>\n"
           "    <release version=\"" +
           XmlEscaped(facts.version) + "\" date=\"" + XmlEscaped(facts.releaseDate) +
           "\"/>\n"
           "  </releases>\n"
           "  <content_rating type=\"oars-1.1\"/>\n"
           "</component>\n";
}

}  // namespace vaultpack
