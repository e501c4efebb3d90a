// vaultpack_desktop_files: writes, at build time, the files that the install
// puts into a desktop: the desktop entries, the MIME package, the metainfo, the
// command-line program's manual page and the icons' PNG sizes rendered from
// their SVG art.
//
//   vaultpack_desktop_files desktop-entry|open-entry|mime-package|metainfo|cli-manual OUTPUT
//   vaultpack_desktop_files icon SVG SIZE OUTPUT

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <string_view>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "cli/CommandLine.h"
#include "desktop/DesktopFileTexts.h"
#include "desktop/ManualPage.h"

namespace {

using namespace vaultpack;

int WriteText(const std::string& path, const std::string& text) {
    std::ofstream output(path, std::ios::binary | std::ios::trunc);
    output << text;
    output.close();
    if (!output) {
        std::cerr << "cannot write " << path << "\n";
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

int RenderIcon(int argc, char** argv, const QString& svg, int size, const QString& output) {
    // The renderer needs an application object; no display is involved.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::cerr << "cannot read " << svg.toStdString() << "\n";
        return EXIT_FAILURE;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    if (!image.save(output, "PNG")) {
        std::cerr << "cannot write " << output.toStdString() << "\n";
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

std::string Metainfo() {
    return MetainfoText({VAULTPACK_VERSION, VAULTPACK_RELEASE_DATE, VAULTPACK_HOMEPAGE, VAULTPACK_LICENSE_SPDX});
}

std::string CliManualPage() {
    return ManualPageFromHelp({"vaultpack-cli", "create, decrypt and unpack ZIP archives and .ezc containers",
                               VAULTPACK_VERSION, HelpText()});
}

}  // namespace

int main(int argc, char** argv) {
    const std::map<std::string_view, std::string (*)()> texts = {
        {"desktop-entry", DesktopEntryText},
        {"open-entry", OpenEntryText},
        {"mime-package", MimePackageText},
        {"metainfo", Metainfo},
        {"cli-manual", CliManualPage},
    };
    if (argc == 3 && texts.contains(argv[1])) {
        return WriteText(argv[2], texts.at(argv[1])());
    }
    if (argc == 5 && std::string_view(argv[1]) == "icon") {
        return RenderIcon(argc, argv, QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), QString::fromLocal8Bit(argv[4]));
    }
    std::cerr << "usage: " << argv[0] << " desktop-entry|open-entry|mime-package|metainfo|cli-manual OUTPUT\n"
              << "       " << argv[0] << " icon SVG SIZE OUTPUT\n";
    return 2;
}
