// SPDX-License-Identifier: MIT
// A reply is taken only when it answers the request in flight.
#include "link/ModbusFrame.h"
#include "link/ReplyCheck.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

using C = LinkFailure::Cause;
using M = LinkFailure::Mismatch;

QByteArray Framed(const char* hex) {
    uint8_t buf[frame::BufferSize];
    const QByteArray body = QByteArray::fromHex(hex);
    std::copy(body.begin(), body.end(), buf);
    return QByteArray(reinterpret_cast<const char*>(buf), frame::AppendCrc(buf, int(body.size())));
}

QByteArray Spoiled(QByteArray f) {
    f[f.size() - 1] = char(f[f.size() - 1] ^ 0x40);
    return f;
}

const PendingRequest Read2{1, 3, 4100, 2};
const PendingRequest Read1{1, 3, 4265, 1};
const PendingRequest Write4{1, 16, 4009, 4};
const PendingRequest Identify{1, 17, 0, 0};

struct Row {
    const char* name;
    PendingRequest request;
    QByteArray reply;
    C cause;
    int value;
    M mismatch;
};

class MatchReplyTable : public ::testing::TestWithParam<Row> {};

TEST_P(MatchReplyTable, TakesOnlyTheAnswerToTheRequest) {
    const Row& r = GetParam();
    const LinkFailure f =
        MatchReply(r.request, reinterpret_cast<const uint8_t*>(r.reply.constData()), int(r.reply.size()));
    EXPECT_EQ(f.cause, r.cause);
    EXPECT_EQ(f.value, r.value);
    EXPECT_EQ(f.mismatch, r.mismatch);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, MatchReplyTable,
    ::testing::Values(
        Row{"read", Read2, Framed("0103041234abcd"), C::None, 0, M::None},
        Row{"write", Write4, Framed("01100fa90004"), C::None, 0, M::None},
        Row{"identify", Identify,
            Framed("011107"
                   "98ff"
                   "4b5839"
                   "0e04"),
            C::None, 0, M::None},
        // A function 16 reply is eight bytes, more than a one-register read awaits.
        Row{"writeReplyToOneRegisterRead", Read1, Framed("011010a90001"), C::Mismatch, 16, M::Function},
        Row{"shortByteCount", Read2, Framed("010302123400ff"), C::Mismatch, 2, M::ByteCount},
        Row{"echoOfAnotherRegister", Write4, Framed("01100faa0004"), C::Mismatch, 0, M::Echo},
        Row{"echoOfAnotherCount", Write4, Framed("01100fa90003"), C::Mismatch, 0, M::Echo},
        Row{"identifyCountBeyondBytes", Identify,
            Framed("011109"
                   "98ff"
                   "4b5839"
                   "0e04"),
            C::Mismatch, 9, M::ByteCount},
        Row{"trailingZeroByte", Read2, Framed("0103041234abcd") + char(0), C::Mismatch, 10, M::Length},
        Row{"flood", Write4, QByteArray(300, char(1)), C::Mismatch, 300, M::Length},
        Row{"identifyFlood", Identify,
            Framed("011107"
                   "98ff"
                   "4b5839"
                   "0e04")
                .repeated(25),
            C::Mismatch, 300, M::Length},
        Row{"otherAddress", Read2, Framed("0203041234abcd"), C::OtherAddress, 2, M::None},
        Row{"broadcastAddress", Read2, Framed("0003041234abcd"), C::OtherAddress, 0, M::None},
        Row{"badCrc", Read2, Spoiled(Framed("0103041234abcd")), C::BadCrc, 0, M::None},
        Row{"exception", Write4, Framed("019002"), C::Exception, 2, M::None},
        Row{"exceptionToAnotherFunction", Write4, Framed("018302"), C::Mismatch, 0x83, M::Function},
        Row{"cutShort", Read2, QByteArray::fromHex("0103"), C::Incomplete, 2, M::None},
        Row{"nothing", Read2, QByteArray(), C::Incomplete, 0, M::None}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExceptionCode, OnlyAWholeRefusalOfTheRequestCounts) {
    struct Case {
        PendingRequest request;
        QByteArray bytes;
        int code;
    };
    for (const Case& c : {Case{Read1, Framed("018304"), 4}, Case{Identify, Framed("019101") + "more", 1},
                          Case{Read1, Framed("019004"), 0}, Case{Read1, Framed("028304"), 0},
                          Case{Read1, Spoiled(Framed("018304")), 0}, Case{Read1, Framed("018304").left(4), 0},
                          Case{PendingRequest{}, Framed("018004"), 0}})
        EXPECT_EQ(ExceptionCodeOf(c.request, reinterpret_cast<const uint8_t*>(c.bytes.constData()),
                                  int(c.bytes.size())),
                  c.code)
            << c.bytes.toHex().constData();
}

TEST(FailureText, ExceptionCodesAreToldByTheirMeaning) {
    const char* meanings[] = {"niedozwolona funkcja", "niedozwolony adres rejestru", "niedozwolona wartość",
                              "błąd urządzenia"};
    for (int code = 1; code <= 4; ++code)
        EXPECT_EQ(DescribeCause(LinkFailure::Of(C::Exception, code)),
                  QStringLiteral("tablica odrzuciła zapytanie: wyjątek %1 (%2)")
                      .arg(code)
                      .arg(QString::fromUtf8(meanings[code - 1])));
    EXPECT_TRUE(DescribeCause(LinkFailure::Of(C::Exception, 9)).endsWith(QStringLiteral("(kod nieznany)")));
}

TEST(FailureText, DetailsNameOperationPortLineCauseAndWhatToCheck) {
    FailureReport r;
    r.operation = QStringLiteral("Odczyt Konfiguracji");
    r.request = DescribeRequest(3, 4100, 62);
    r.port = QStringLiteral("COM1");
    r.device = QStringLiteral("/dev/ttyUSB0");
    r.address = 1;
    r.frameIndex = 1;
    r.baudIndex = 7;
    r.failure = LinkFailure::Of(C::NoReply, 150);
    EXPECT_EQ(FailureDetails(r),
              QStringLiteral("Operacja: Odczyt Konfiguracji\n"
                             "Zapytanie: odczyt rejestrów 4100..4161 (funkcja 3)\n"
                             "Port: COM1 (urządzenie /dev/ttyUSB0)\n"
                             "Adres tablicy: 1, prędkość: 115200 bit/s, ramka: 8N2\n"
                             "Przyczyna: brak odpowiedzi w ciągu 150 ms\n"
                             "Sprawdź: kabel i zasilanie tablicy, prędkość i ramkę transmisji "
                             "oraz adres tablicy."));
    // Without a name the request stands for the operation; settings outside the tables say so.
    r.operation.clear();
    r.device = r.port;
    r.frameIndex = 7;
    r.baudIndex = 200;
    const QString text = FailureDetails(r);
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("Operacja: odczyt rejestrów 4100..4161 (funkcja 3)\nPort: COM1\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("prędkość: nr 200 (spoza tabeli), ramka: nr 7 (spoza tabeli)")));
}

} // namespace
} // namespace kx9
