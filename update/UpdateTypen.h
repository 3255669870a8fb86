#pragma once

#include <QString>

namespace korvex {

// How the update windows write byte counts.
enum class TLumoAppUpdateFileSizeUnit { Auto, Bytes, KiloBytes, MegaBytes, GigaBytes };

// Which digest of the downloaded installer is compared with the manifest.
enum class THashType { None, CRC32, MD5, SHA1 };

// The program's section of the update manifest; a missing key is empty.
struct TManifestRecord {
    QString DownloadFileURL;
    QString ReadmeFileURL;
    QString UpdatePageURL;
    QString Version;
    QString SQLVersion;
    QString CRC32Hash;
    QString MD5Hash;
    QString SHA1Hash;
    // The maker's Ed25519 signature over the installer, in base64.
    QString EdSignature;
};

}  // namespace korvex
