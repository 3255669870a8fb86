#include "database/access/Query.h"

#include "database/access/Connection.h"
#include "database/access/Statement.h"
#include "platform/KorvexError.h"

namespace korvex::db {

namespace {

FieldKind kindOfColumn(SQLSMALLINT type, bool autoIncrement) {
    switch (type) {
        case SQL_INTEGER:
            return autoIncrement ? FieldKind::AutoInc : FieldKind::Integer;
        case SQL_SMALLINT:
            return FieldKind::SmallInt;
        case SQL_TINYINT:
            return FieldKind::Word;
        case SQL_BIGINT:
            return FieldKind::Largeint;
        case SQL_BIT:
            return FieldKind::Boolean;
        case SQL_CHAR:
        case SQL_VARCHAR:
            return FieldKind::String;
        case SQL_WCHAR:
        case SQL_WVARCHAR:
            return FieldKind::WideString;
        case SQL_LONGVARCHAR:
            return FieldKind::Memo;
        case SQL_WLONGVARCHAR:
            return FieldKind::WideMemo;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return FieldKind::BCD;
        case SQL_FLOAT:
        case SQL_REAL:
        case SQL_DOUBLE:
            return FieldKind::Float;
        case SQL_TYPE_DATE:
            return FieldKind::Date;
        case SQL_TYPE_TIME:
            return FieldKind::Time;
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATETIME:
            return FieldKind::DateTime;
        case SQL_BINARY:
            return FieldKind::Bytes;
        case SQL_VARBINARY:
            return FieldKind::VarBytes;
        case SQL_LONGVARBINARY:
            return FieldKind::Blob;
        case SQL_GUID:
            return FieldKind::Guid;
        default:
            return FieldKind::Unknown;
    }
}

bool compatible(FieldKind field, FieldKind column) {
    switch (field) {
        case FieldKind::Integer:
        case FieldKind::AutoInc:
            return column == FieldKind::Integer || column == FieldKind::AutoInc ||
                   column == FieldKind::SmallInt || column == FieldKind::Word;
        case FieldKind::String:
        case FieldKind::WideString:
            return column == FieldKind::String || column == FieldKind::WideString;
        case FieldKind::Memo:
        case FieldKind::WideMemo:
            return column == FieldKind::Memo || column == FieldKind::WideMemo ||
                   column == FieldKind::String || column == FieldKind::WideString;
        default:
            return field == column;
    }
}

QString readText(SQLHSTMT stmt, SQLUSMALLINT column, bool& isNull) {
    QString text;
    isNull = false;
    char16_t buffer[2048];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof(buffer), &indicator);
        if (rc == SQL_NO_DATA) break;
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
            Statement::throwFor(stmt, QStringLiteral("Een veld kon niet worden gelezen"));
        }
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return {};
        }
        const qsizetype capacity = qsizetype(std::size(buffer)) - 1;
        const qsizetype chars = (indicator == SQL_NO_TOTAL || indicator / 2 > capacity)
                                    ? capacity
                                    : qsizetype(indicator / 2);
        text += QString::fromUtf16(buffer, chars);
        if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: more parts follow
    }
    return text;
}

}  // namespace

QString fieldKindName(FieldKind kind) {
    static const char* const names[] = {"Unknown",  "String",   "WideString", "Memo",    "WideMemo",
                                        "SmallInt", "Integer",  "Word",       "Boolean", "Float",
                                        "Largeint", "BCD",      "Date",       "Time",    "DateTime",
                                        "Bytes",    "VarBytes", "Blob",       "AutoInc", "Guid"};
    return QString::fromLatin1(names[static_cast<int>(kind)]);
}

void Query::open() {
    if (open_) return;
    connection_.open();
    try {
        Statement statement(connection_);
        columns_.clear();
        rows_.clear();
        boundColumn_.clear();
        SQLSMALLINT count = 0;
        bool more = statement.execute(sql, commandTimeout);
        // Statements before the SELECT (USE, SET) give results without columns.
        while (more) {
            statement.check(SQLNumResultCols(statement.handle(), &count),
                            QStringLiteral("Het resultaat kon niet worden gelezen"));
            if (count > 0) break;
            more = statement.nextResult();
        }
        for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(count); ++i) {
            char16_t name[256] = {};
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            statement.check(
                SQLDescribeColW(statement.handle(), i, reinterpret_cast<SQLWCHAR*>(name),
                                SQLSMALLINT(std::size(name)), &nameLength, &type, &size, &digits,
                                &nullable),
                QStringLiteral("Het resultaat kon niet worden gelezen"));
            SQLLEN autoIncrement = SQL_FALSE;
            SQLColAttributeW(statement.handle(), i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr,
                             &autoIncrement);
            const qsizetype shown = std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1);
            columns_.append(
                {QString::fromUtf16(name, shown), kindOfColumn(type, autoIncrement == SQL_TRUE)});
        }
        for (const FieldDef& field : fields) {
            int found = -1;
            for (int c = 0; c < columns_.size() && found < 0; ++c)
                if (columns_[c].name.compare(field.name, Qt::CaseInsensitive) == 0) found = c;
            if (found < 0)
                throw KorvexError(QStringLiteral("Field '%1' not found").arg(field.name));
            if (!compatible(field.kind, columns_[found].kind))
                throw KorvexError(
                    QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                        .arg(field.name, fieldKindName(field.kind),
                             fieldKindName(columns_[found].kind)));
            boundColumn_.append(found);
        }
        if (count > 0) {
            for (;;) {
                const SQLRETURN rc = SQLFetch(statement.handle());
                if (rc == SQL_NO_DATA) break;
                statement.check(rc, QStringLiteral("Het resultaat kon niet worden gelezen"));
                QList<std::optional<QString>> row;
                for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
                    bool isNull = false;
                    QString value = readText(statement.handle(), c, isNull);
                    row.append(isNull ? std::nullopt : std::optional<QString>(value));
                }
                rows_.append(row);
            }
            // A later statement of the batch may still fail.
            while (statement.nextResult()) {
            }
        }
    } catch (...) {
        connection_.forgetIfLost();
        throw;
    }
    open_ = true;
}

void Query::close() {
    open_ = false;
    rows_.clear();
    columns_.clear();
    boundColumn_.clear();
}

int Query::boundIndex(const QString& name) const {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    throw KorvexError(QStringLiteral("Field '%1' not found").arg(name));
}

QString Query::fieldText(const QString& name) const {
    const int field = boundIndex(name);
    if (!open_ || rows_.isEmpty() || field >= boundColumn_.size()) return {};
    const auto& value = rows_.first().at(boundColumn_[field]);
    if (!value) return {};
    if (fields[field].kind == FieldKind::DateTime) {
        const QDateTime moment = fieldDateTime(name);
        if (moment.isValid()) return moment.toString(QStringLiteral("d-M-yyyy hh:mm:ss"));
    }
    return *value;
}

QDateTime Query::fieldDateTime(const QString& name) const {
    const int field = boundIndex(name);
    if (!open_ || rows_.isEmpty() || field >= boundColumn_.size()) return {};
    const auto& value = rows_.first().at(boundColumn_[field]);
    if (!value) return {};
    QDateTime moment = QDateTime::fromString(*value, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    if (!moment.isValid()) moment = QDateTime::fromString(*value, Qt::ISODateWithMs);
    if (!moment.isValid())
        moment = QDateTime::fromString(*value, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return moment;
}

}  // namespace korvex::db
