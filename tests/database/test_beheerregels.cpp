#include <gtest/gtest.h>

#include "database/Bedrijfsgegevens.h"
#include "database/Verbindingsinstellingen.h"
#include "database/admin/Levenscyclus.h"
#include "database/admin/TypeProfiel.h"

using namespace korvex;
using namespace korvex::admin;

TEST(Verbindingsinstellingen, CompanyDatabaseNameAndValidVkmIds) {
    EXPECT_EQ(Verbindingsinstellingen::bedrijfsDatabaseNaam(" 42 "), "KORVEX_42");
    EXPECT_EQ(Verbindingsinstellingen::bedrijfsDatabaseNaam(""), "KORVEX_");
    for (const char* ok : {"42", " 42 ", "Abc_9", "\t7\r\n"})
        EXPECT_TRUE(Verbindingsinstellingen::geldigeVkmId(ok)) << ok;
    for (const char* bad :
         {"", "   ", "42; DROP DATABASE master", "42'", "4 2", "42]", "4-2", "42\"", "é"})
        EXPECT_FALSE(Verbindingsinstellingen::geldigeVkmId(bad)) << bad;
}

TEST(Levenscyclus, LocationWithApostropheArrivesDoubledAndNothingElseChanges) {
    const QStringList regels = batchRegels(Levenscyclus::Koppelen, "KORVEX_1", "D:\\O'Neil\\");
    EXPECT_EQ(regels.value(3), "@filename1 = 'D:\\O''Neil\\\\KORVEX_1.mdf',");
    EXPECT_EQ(regels.value(4), "@filename2 = 'D:\\O''Neil\\\\KORVEX_1_log.ldf'");
}

TEST(TypeProfiel, TaxiStartsWithTheDocumentedPairAndBothHaveTwelveLines) {
    const QStringList taxi = profielRegels(TypeProfiel::Taxi);
    const QStringList koerier = profielRegels(TypeProfiel::Koerier);
    ASSERT_EQ(taxi.size(), 12);
    ASSERT_EQ(koerier.size(), 12);
    EXPECT_EQ(taxi[0], "Alter Table Opdrachtregels Drop Column reg_totaal;");
    EXPECT_EQ(taxi[1],
              "Alter Table Opdrachtregels Add reg_totaal As ([reg_eenheidsprijs]*[reg_aantal]);");
    EXPECT_EQ(koerier[11], "Alter Table Planning Add pla_netto As ([pla_bedrag]);");
}

TEST(Bedrijfsgegevens, FieldListBindsEveryColumnOnceInOrder) {
    const auto velden = Bedrijfsgegevens::velden();
    EXPECT_EQ(velden.size(), 36 + 30);
    EXPECT_EQ(velden.first().name, "bdr_id");
    EXPECT_EQ(velden[36].name, "por_id");
    EXPECT_EQ(velden.last().name, "por_koppelingen");
    QSet<QString> names;
    for (const auto& v : velden) names.insert(v.name);
    EXPECT_EQ(names.size(), velden.size());
    QStringList readOnly;
    for (const auto& v : velden)
        if (v.readOnly) readOnly << v.name;
    EXPECT_EQ(readOnly, QStringList({"bdr_id", "bdr_xmltag", "bdr_pincode", "por_id"}));
}
