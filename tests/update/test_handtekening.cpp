#include <openssl/evp.h>

#include <QFileInfo>
#include <memory>

#include "tests/support/Bestanden.h"
#include "net/HttpClient.h"
#include "tests/update/UpdateFixture.h"
#include "update/UpdateControle.h"
#include "update/UpdateDownload.h"

namespace korvex::test {
namespace {

// What the maker signs for the 3,000-byte test installer offered as 9.0.1.20.
const QByteArray kVerklaring =
    "KorvexSQL\n9.0.1.20\n3000\n"
    "6be2d416221e4e20109412f5ebea5595eff4a0deb9d6bb2ebf31cf3bd02cd76e"
    "f1c85b2c8a963f018f1f1431b34527ca914dd799d27c7ed7cd3d579907015951\n";

// A maker's key pair, made here so no private key lies in the tree.
class Sleutelpaar {
  public:
    Sleutelpaar() : pkey_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free) {}

    QString publiek() const {
        unsigned char sleutel[32];
        std::size_t lengte = sizeof sleutel;
        if (!pkey_ || EVP_PKEY_get_raw_public_key(pkey_.get(), sleutel, &lengte) != 1)
            return QString();
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(sleutel), int(lengte)).toBase64());
    }
    // The raw 64 bytes of the signature.
    QByteArray teken(const QByteArray& tekst) const {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
        unsigned char handtekening[64];
        std::size_t lengte = sizeof handtekening;
        if (!pkey_ || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, pkey_.get()) != 1 ||
            EVP_DigestSign(ctx.get(), handtekening, &lengte,
                           reinterpret_cast<const unsigned char*>(tekst.constData()),
                           std::size_t(tekst.size())) != 1)
            return QByteArray();
        return QByteArray(reinterpret_cast<const char*>(handtekening), int(lengte));
    }

  private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey_;
};

// The manifest offers 9.0.1.20 with the given signature line, and the
// installer is downloaded.
class Ondertekend : public UpdateTest {
  protected:
    void SetUp() override {
        UpdateTest::SetUp();
        update.Version = QStringLiteral("9.0.1.19");
        peer.respond(QStringLiteral("HEAD /pub/setup.exe"), Kop(3000));
        peer.route(QStringLiteral("/pub/setup.exe"),
                   {HttpPeer::raw(Kop(3000)), HttpPeer::pattern(3000)});
    }

    // True when the installer was handed to the updater; anything else must
    // be the damage report with nothing left behind. The check and the
    // download run as services, or from the windows as the operator meets
    // them, so the window road shows the key and the manifest reaching them.
    bool download(const QByteArray& handtekeningRegel, bool viaVensters = false) {
        platform.dialogs.clear();
        platform.started.clear();
        platform.quitRequests = 0;
        QFile::remove(doel());
        manifest("[KorvexSQL]\r\nVersion=9.0.1.20\r\nDownloadFileURL=" +
                 peer.url(QStringLiteral("/pub/setup.exe")).toUtf8() + "\r\n" + handtekeningRegel +
                 "\r\n");
        if (!viaVensters) return viaDiensten();
        platform.answer(DialogResult::OK);
        bool bestandBijMelding = false;
        platform.onNextDialog([&] { bestandBijMelding = QFileInfo::exists(doel()); });
        EXPECT_TRUE(
            controleer([](TLumoAppUpdateNotifyBox& venster) { venster.DownloadButton->click(); }));
        if (platform.dialogs.size() != 1u) {
            ADD_FAILURE() << "dialogs: " << platform.dialogs.size();
            return false;
        }
        const ShownDialog& dialoog = platform.dialogs[0];
        if (dialoog.text == u"Zelvo Korvex® Fernaxo gaat nu starten") {
            EXPECT_EQ(dialoog.kind, DialogKind::Information);
            return overgedragen();
        }
        EXPECT_EQ(dialoog.text, "De download is beschadigd.");
        EXPECT_EQ(dialoog.kind, DialogKind::Error);
        EXPECT_FALSE(bestandBijMelding) << "a damaged installer is gone before its report";
        return nietsAchter();
    }

    bool viaDiensten() {
        net::HttpClient http;
        UpdateControle controle(http);
        const UpdateControle::Resultaat manifest = controle.Controleer(
            {update.UpdateFileURL, QString(), update.ManifestSectie, update.Version, QString()});
        EXPECT_EQ(manifest.uitkomst, UpdateControle::Uitkomst::NieuweVersie);
        UpdateDownload dienst(http, platform);
        const UpdateDownload::Resultaat uit =
            dienst.Download({manifest.record, THashType::None, update.SignatureKey});
        if (uit.uitkomst == UpdateDownload::Uitkomst::Gecontroleerd) {
            EXPECT_EQ(dienst.Overdragen(uit.doel), std::nullopt);
            return overgedragen();
        }
        EXPECT_EQ(uit.uitkomst, UpdateDownload::Uitkomst::Beschadigd);
        return nietsAchter();
    }

    bool overgedragen() {
        EXPECT_EQ(platform.quitRequests, 1);
        EXPECT_EQ(platform.started, QStringList{folder.path() + kUpdaterStart +
                                                QDir::toNativeSeparators(doel()) + "'"});
        EXPECT_EQ(Lees(doel()), HttpPeer::patternBytes(3000));
        return true;
    }
    bool nietsAchter() {
        EXPECT_EQ(downloads(), QStringList());
        EXPECT_TRUE(platform.started.isEmpty());
        EXPECT_EQ(platform.quitRequests, 0);
        return false;
    }

    QString doel() const { return folder.file("TempDownloads/setup.exe"); }
};

QByteArray regel(const QByteArray& handtekening) {
    return "EdSignature=" + handtekening.toBase64();
}

TEST_F(Ondertekend, AlleenDeHandtekeningVanDeMakerOverDezeVersieEnDitBestandGeldt) {
    const Sleutelpaar maker, ander;
    ASSERT_EQ(maker.teken(kVerklaring).size(), 64);
    update.SignatureKey = maker.publiek();
    const QByteArray goed = maker.teken(kVerklaring);
    QByteArray andereVersie = kVerklaring;
    andereVersie.replace("9.0.1.20", "9.0.1.19");
    // The installer of 2,999 bytes.
    const QByteArray anderBestand =
        "KorvexSQL\n9.0.1.20\n2999\n"
        "3641a35cb12a6892d6dc5e11c25039291a631d91a4b484bc72b8adceb19b4f82"
        "bc6368f91b8871e1e0aabaae92736ece88c333ad6abfe8319ccd746aa373e1df\n";
    struct Geval {
        const char* wat;
        QByteArray regel;
        bool overgedragen;
    };
    const Geval gevallen[] = {
        {"good", regel(goed), true},
        {"blanks and quotes around it", "EdSignature = \"" + goed.toBase64() + "\"  ", true},
        {"over another file", regel(maker.teken(anderBestand)), false},
        {"over another version", regel(maker.teken(andereVersie)), false},
        {"by another key", regel(ander.teken(kVerklaring)), false},
        {"63 of its bytes", regel(goed.left(63)), false},
        {"its text cut short", regel(goed).chopped(3), false},
        {"not base64", "EdSignature=!" + goed.toBase64().mid(1), false},
        {"a blank inside", "EdSignature=" + goed.toBase64().insert(40, ' '), false},
        {"missing", "", false},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.wat);
        EXPECT_EQ(download(g.regel), g.overgedragen);
    }
    // A key that is no key checks and fails, rather than checking nothing.
    update.SignatureKey = QStringLiteral("AAAA");
    EXPECT_FALSE(download(regel(goed)));
    EXPECT_FALSE(download(regel(goed), true));
}

TEST_F(Ondertekend, ZonderSleutelTeltGeenHandtekening) {
    const Sleutelpaar maker;
    ASSERT_TRUE(update.SignatureKey.isEmpty());
    for (const QByteArray& handtekening :
         {regel(maker.teken(kVerklaring)), QByteArray("EdSignature=onzin"), QByteArray()}) {
        SCOPED_TRACE(handtekening.toStdString());
        EXPECT_TRUE(download(handtekening));
    }
}

TEST_F(Ondertekend, SignUpdateTekentWatHetProgrammaAanvaardt) {
    const QString sleutel = tmp.file("maker.pem");
    const QByteArray publiek = signUpdate({QStringLiteral("keygen"), sleutel});
    ASSERT_EQ(publiek.size(), 45) << publiek.toStdString();
    ASSERT_TRUE(publiek.endsWith("=\n"));
    const QByteArray bewaard = Lees(sleutel);
    // The maker's key is never replaced by a new one.
    int code = 0;
    EXPECT_EQ(signUpdate({QStringLiteral("keygen"), sleutel}, &code), QByteArray());
    EXPECT_NE(code, 0);
    EXPECT_EQ(Lees(sleutel), bewaard);
    EXPECT_EQ(signUpdate({QStringLiteral("public"), sleutel}), publiek);

    const QString installer = tmp.file("setup.exe");
    Schrijf(installer, HttpPeer::patternBytes(3000));
    const QByteArray handtekening =
        signUpdate({QStringLiteral("sign"), installer, QStringLiteral("9.0.1.20"), sleutel});
    ASSERT_TRUE(handtekening.startsWith("EdSignature=")) << handtekening.toStdString();
    update.SignatureKey = QString::fromLatin1(publiek.trimmed());
    EXPECT_TRUE(download(handtekening.trimmed(), true));
    // The same signature for an installer offered as another version fails.
    const QByteArray andere =
        signUpdate({QStringLiteral("sign"), installer, QStringLiteral("9.0.1.19"), sleutel});
    EXPECT_FALSE(download(andere.trimmed(), true));
}

}  // namespace
}  // namespace korvex::test
