#include "show/impress/DeckCheck.h"

#include <array>
#include <memory>
#include <QFile>
#include <QSet>
#include <QXmlStreamReader>
#include <zip.h>

namespace show::impress {

namespace {

using Archive = std::unique_ptr<zip_t, decltype(&zip_discard)>;

bool isZip(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "PK";
}

// OOXML keeps its XML in .xml and .rels parts, ODF in .xml ones. VML drawings are left out: the
// office reads them leniently, and PowerPoint writes them so.
bool isXmlPart(const QString& name) {
    return name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".rels"), Qt::CaseInsensitive);
}

// Feeds the part to reader chunk by chunk. Returns false when the part cannot be read whole (a
// broken stream, a checksum that does not match) or is not well-formed XML.
template <typename Reader> bool readPart(zip_t* archive, zip_uint64_t index, Reader&& onXml) {
    zip_file_t* part = zip_fopen_index(archive, index, 0);
    if (!part)
        return false;
    QXmlStreamReader xml;
    // Well-formedness only: what the names mean is the office's business.
    xml.setNamespaceProcessing(false);
    std::array<char, 64 * 1024> buffer;
    // Read to the end of the part even after the document's end: the checksum is compared there.
    bool sound = true;
    for (;;) {
        const zip_int64_t got = zip_fread(part, buffer.data(), buffer.size());
        if (got <= 0) {
            sound = got == 0;
            break;
        }
        xml.addData(QByteArray(buffer.data(), static_cast<qsizetype>(got)));
        while (!xml.atEnd())
            onXml(xml, xml.readNext());
        if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            break;
    }
    zip_fclose(part);
    // A document cut short ends in PrematureEndOfDocumentError, which counts as damage too.
    return sound && !xml.hasError();
}

// The parts an ODF manifest lists with encryption data: they hold ciphertext, not XML.
QSet<QString> encryptedParts(zip_t* archive) {
    QSet<QString> result;
    const zip_int64_t index = zip_name_locate(archive, "META-INF/manifest.xml", 0);
    if (index < 0)
        return result;
    QString entry;
    auto localName = [](QStringView qualified) {
        return qualified.mid(qualified.indexOf(u':') + 1);
    };
    readPart(archive, index, [&](QXmlStreamReader& xml, QXmlStreamReader::TokenType token) {
        if (token != QXmlStreamReader::StartElement)
            return;
        const QStringView name = localName(xml.qualifiedName());
        if (name == u"file-entry") {
            entry.clear();
            for (const QXmlStreamAttribute& attribute : xml.attributes())
                if (localName(attribute.qualifiedName()) == u"full-path")
                    entry = attribute.value().toString();
        } else if (name == u"encryption-data" && !entry.isEmpty()) {
            result.insert(entry);
        }
    });
    return result;
}

} // namespace

bool packageLooksSound(const QString& path) {
    if (!isZip(path))
        return true;
    int error = 0;
    const Archive archive(
        zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error),
        &zip_discard);
    if (!archive)
        return false;
    const QSet<QString> encrypted = encryptedParts(archive.get());
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        const char* raw = zip_get_name(archive.get(), index, ZIP_FL_ENC_GUESS);
        if (!raw)
            return false;
        const QString name = QString::fromUtf8(raw);
        if (isXmlPart(name) && !encrypted.contains(name) &&
            !readPart(archive.get(), index, [](auto&&...) {}))
            return false;
    }
    return true;
}

} // namespace show::impress
