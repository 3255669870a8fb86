#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace korvex::net {

// Cuts the raw bytes of a directory listing into lines as they arrive:
// LF or CR LF ends a line, a last line without an end counts, every line is
// decoded on its own. Memory stays at the listing itself.
class FtpListing {
  public:
    explicit FtpListing(QStringList& lines) : lines_(lines) {}

    void feed(QByteArrayView bytes);
    // The last line when the listing did not end in a line end.
    void finish();

    // UTF-8 as current servers send it; bytes that are not UTF-8 are read
    // as Windows-1252, the code page older servers use.
    static QString decode(QByteArrayView bytes);

  private:
    QStringList& lines_;
    QByteArray rest_;
};

}  // namespace korvex::net
