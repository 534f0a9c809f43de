// The browser files `cmake --install` lays out: what they name must be what the program and the
// extension use, and the signed extension must be the extension of the source tree.

#include "support/TemporaryFolder.h"
#include "website/BrowserExtension.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtEndian>

#include <gtest/gtest.h>

#include <map>

using namespace korvalen;
using namespace korvalen::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString tree = QStringLiteral(KORVALEN_INSTALL_TREE);
const QString data = tree + u"/share/korvalen"_s;
const QString extensionFolder = QStringLiteral(KORVALEN_EXTENSION_DIR);

QByteArray contents(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    return file.readAll();
}

QJsonObject json(const QString& path)
{
    return QJsonDocument::fromJson(contents(path)).object();
}

using Files = std::map<QString, QByteArray>;

QByteArray unzip(const QStringList& arguments)
{
    QProcess process;
    process.start(u"unzip"_s, arguments);
    EXPECT_TRUE(process.waitForFinished()) << "unzip " << arguments.join(u' ').toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

Files filesInZip(const QString& zip)
{
    Files files;
    const QByteArray names = unzip({u"-Z1"_s, zip});
    for (const QByteArray& name : names.split('\n')) {
        if (!name.isEmpty())
            files[QString::fromUtf8(name)] = unzip({u"-p"_s, zip, QString::fromUtf8(name)});
    }
    return files;
}

Files extensionFiles()
{
    Files files;
    for (const QString& name : QDir(extensionFolder).entryList(QDir::Files))
        files[name] = contents(extensionFolder + u'/' + name);
    return files;
}

// The fields of a protocol buffer message that hold bytes (wire type 2); others are skipped.
std::multimap<quint64, QByteArray> bytesFields(const QByteArray& message)
{
    std::multimap<quint64, QByteArray> fields;
    qsizetype at = 0;
    const auto varint = [&] {
        quint64 value = 0;
        for (int shift = 0; at < message.size(); shift += 7) {
            const auto byte = quint8(message.at(at++));
            value |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                break;
        }
        return value;
    };
    while (at < message.size()) {
        const quint64 key = varint();
        if ((key & 7) == 0) {
            varint();
            continue;
        }
        EXPECT_EQ(key & 7, 2u) << "unexpected wire type";
        if ((key & 7) != 2)
            break;
        const auto length = qsizetype(varint());
        fields.emplace(key >> 3, message.mid(at, length));
        at += length;
    }
    return fields;
}

// Chromium's extension IDs: the first 16 bytes of a SHA-256, a letter from a to p per half-byte.
QString extensionId(const QByteArray& first16)
{
    QString id;
    for (const char byte : first16.left(16)) {
        id += QChar(u'a' + (quint8(byte) >> 4));
        id += QChar(u'a' + (quint8(byte) & 0xf));
    }
    return id;
}

} // namespace

TEST(InstalledBrowserFiles, HostManifestsNameTheInstalledHostAndTheExtension)
{
    const QString host = tree + u"/bin/korvalen-browser-host"_s;
    const QJsonObject firefox = json(tree + u"/lib/mozilla/native-messaging-hosts/"_s +
                                     BrowserExtension::nativeHostName + u".json"_s);
    EXPECT_EQ(firefox.value(u"name"_s).toString(), BrowserExtension::nativeHostName);
    EXPECT_EQ(firefox.value(u"path"_s).toString(), host);
    EXPECT_EQ(firefox.value(u"type"_s).toString(), u"stdio"_s);
    EXPECT_EQ(firefox.value(u"allowed_extensions"_s).toArray(),
              QJsonArray{BrowserExtension::firefoxId});

    const QJsonObject chromium = json(data + u"/native-messaging-host-chromium.json"_s);
    EXPECT_EQ(chromium.value(u"name"_s).toString(), BrowserExtension::nativeHostName);
    EXPECT_EQ(chromium.value(u"path"_s).toString(), host);
    EXPECT_EQ(chromium.value(u"allowed_origins"_s).toArray(),
              QJsonArray{u"chrome-extension://"_s + BrowserExtension::chromiumId + u'/'});
}

TEST(InstalledBrowserFiles, TheUpdateManifestOffersTheInstalledCrxInTheExtensionsVersion)
{
    QXmlStreamReader update(contents(data + u"/browser-extension-update.xml"_s));
    QString appId, codebase, version;
    while (!update.atEnd()) {
        if (update.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (update.name() == u"app")
            appId = update.attributes().value(u"appid"_s).toString();
        if (update.name() == u"updatecheck") {
            codebase = update.attributes().value(u"codebase"_s).toString();
            version = update.attributes().value(u"version"_s).toString();
        }
    }
    EXPECT_FALSE(update.hasError()) << update.errorString().toStdString();
    EXPECT_EQ(appId, BrowserExtension::chromiumId);
    EXPECT_EQ(codebase, u"file://"_s + data + u"/korvalen-browser-extension.crx"_s);
    EXPECT_EQ(version, json(extensionFolder + u"/manifest.json"_s).value(u"version"_s).toString());
}

// CRX3: "Cr24", the format version and the header's length (32-bit little-endian), the header
// (a CrxFileHeader protocol buffer), then the zip archive.
TEST(InstalledBrowserFiles, TheCrxIsTheExtensionSignedWithItsKey)
{
    const QByteArray crx = contents(data + u"/korvalen-browser-extension.crx"_s);
    ASSERT_GT(crx.size(), 12);
    ASSERT_EQ(crx.left(4), "Cr24");
    const auto word = [&crx](int at) { return qFromLittleEndian<quint32>(crx.constData() + at); };
    ASSERT_EQ(word(4), 3u);
    const qsizetype headerLength = word(8);
    ASSERT_LE(12 + headerLength, crx.size());
    const auto header = bytesFields(crx.mid(12, headerLength));

    // signed_header_data (10000) holds the ID (1); each RSA proof (2) a public key (1).
    const auto signedData = header.find(10000);
    ASSERT_NE(signedData, header.end());
    const auto signedFields = bytesFields(signedData->second);
    const auto crxId = signedFields.find(1);
    ASSERT_NE(crxId, signedFields.end());
    EXPECT_EQ(extensionId(crxId->second), BrowserExtension::chromiumId);
    QStringList keyIds;
    for (auto [proof, end] = header.equal_range(2); proof != end; ++proof) {
        const auto proofFields = bytesFields(proof->second);
        const auto key = proofFields.find(1);
        if (key != proofFields.end())
            keyIds.append(
                extensionId(QCryptographicHash::hash(key->second, QCryptographicHash::Sha256)));
    }
    EXPECT_TRUE(keyIds.contains(BrowserExtension::chromiumId)) << keyIds.join(u' ').toStdString();

    TemporaryFolder folder;
    const QString zip = folder.write(u"extension.zip"_s, crx.mid(12 + headerLength));
    EXPECT_EQ(filesInZip(zip), extensionFiles())
        << "the CRX is older than browser/extension: run scripts/pack-browser-extension";
}

TEST(InstalledBrowserFiles, TheFirefoxPackageIsTheExtension)
{
    EXPECT_EQ(filesInZip(data + u"/korvalen-browser-extension.xpi"_s), extensionFiles());
}
