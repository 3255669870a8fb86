#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace korvex::db {

class Connection;

// Kinds of a bound field and of a result column; the names are the ones the
// error texts show.
enum class FieldKind {
    Unknown,
    String,
    WideString,
    Memo,
    WideMemo,
    SmallInt,
    Integer,
    Word,
    Boolean,
    Float,
    Largeint,
    BCD,
    Date,
    Time,
    DateTime,
    Bytes,
    VarBytes,
    Blob,
    AutoInc,
    Guid
};
QString fieldKindName(FieldKind kind);

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::String;
    int size = 0;  // declared maximum length of a text, not checked against the column
    bool readOnly = false;
};

// A query with a fixed list of bound fields over a client-side static
// cursor: opening reads the whole result and stands on its first row.
class Query {
  public:
    explicit Query(Connection& connection) : connection_(connection) {}

    QString sql;
    QList<FieldDef> fields;
    int commandTimeout = 30;  // seconds

    bool isOpen() const { return open_; }
    void open();
    void close();

    int recordCount() const { return int(rows_.size()); }
    bool isEmpty() const { return rows_.isEmpty(); }
    // The current (first) row's value; NULL and an empty result read as "".
    QString fieldText(const QString& name) const;
    // An invalid QDateTime for NULL or an empty result.
    QDateTime fieldDateTime(const QString& name) const;

  private:
    struct Column {
        QString name;
        FieldKind kind = FieldKind::Unknown;
    };
    int boundIndex(const QString& name) const;

    Connection& connection_;
    bool open_ = false;
    QList<Column> columns_;
    QList<int> boundColumn_;  // per bound field: its column in the result
    QList<QList<std::optional<QString>>> rows_;
};

}  // namespace korvex::db
