// The tokenizer: separators, line ends, quoting, blanks and line numbers, and
// the errors that stop a run while the file is read. Every table row is read
// whole, in pieces of every small size, and with libcsv for every line, and
// must give the same records each time. QUARVEN_SPLIT_PATH (sse2, eight-bytes
// or bytes) forces one way of splitting lines throughout; ctest runs each.
#include "trial/trial_tokenizer.h"

#include <QtTest>

using namespace quarven;

namespace {

QString shown(std::string_view text)
{
    // A field too long to read in a transcript shows as its length.
    if (text.size() > 64)
        return QStringLiteral("<%1 bytes>").arg(text.size());
    QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    result.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return result;
}

// Everything the tokenizer hands over, one line per call. Records of blank
// fields only are left out: skipping them is the row reader's, and libcsv
// hands a blank line over as no field where a direct split gives one.
class Transcript final : public FieldSink {
public:
    QStringList lines;
    std::uint32_t refuseAt = 0; // a record on this line is refused

    void separator(char separator) override
    {
        lines << QStringLiteral("sep %1").arg(separator == '\t' ? QStringLiteral("tab")
                                              : separator == '\0'
                                                  ? QStringLiteral("none")
                                                  : QString(QLatin1Char(separator)));
    }
    bool record(std::uint32_t line, Items<std::string_view> fields) override
    {
        QStringList texts;
        bool blank = true;
        for (const std::string_view field : fields) {
            texts << shown(field);
            blank = blank && field.find_first_not_of(" \t") == std::string_view::npos;
        }
        if (!blank)
            lines << QStringLiteral("%1: %2").arg(line).arg(texts.join('|'));
        return line != refuseAt;
    }
    void end(std::uint32_t lastLine) override { lines << QStringLiteral("end %1").arg(lastLine); }
};

SplitPath splitPath = SplitPath::Widest;

QStringList transcriptOf(const QByteArray& text, std::size_t piece, bool splitPlainLines,
                         std::uint32_t refuseAt = 0)
{
    Transcript transcript;
    transcript.refuseAt = refuseAt;
    TrialTokenizer tokenizer(transcript, TrialTokenizer::Options{splitPlainLines, splitPath});
    const std::string_view all(text.constData(), static_cast<std::size_t>(text.size()));
    for (std::size_t at = 0; at < all.size() && !tokenizer.error(); at += piece)
        tokenizer.read(all.substr(at, piece));
    tokenizer.finish();
    if (const std::optional<TrialError>& error = tokenizer.error())
        transcript.lines << QStringLiteral("error %1: %2")
                                .arg(error->line)
                                .arg(QString::fromStdString(error->message));
    return transcript.lines;
}

} // namespace

class TestTrialTokenizer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void records_data();
    void records();
    void refusedText_data();
    void refusedText();
    void sinkRefusalStopsReading_data();
    void sinkRefusalStopsReading();
    void endlessFieldRefusedWhileRead_data();
    void endlessFieldRefusedWhileRead();
    void largeFirstPiece_data();
    void largeFirstPiece();
};

void TestTrialTokenizer::initTestCase()
{
    const QByteArray forced = qgetenv("QUARVEN_SPLIT_PATH");
    const std::pair<const char*, SplitPath> paths[] = {{"", SplitPath::Widest},
                                                       {"sse2", SplitPath::Sse2},
                                                       {"eight-bytes", SplitPath::EightBytes},
                                                       {"bytes", SplitPath::Bytes}};
    const auto named = std::find_if(std::begin(paths), std::end(paths),
                                    [&](const auto& path) { return forced == path.first; });
    QVERIFY2(named != std::end(paths), "QUARVEN_SPLIT_PATH names no split path");
    if (!HasSplitPath(named->second))
        QSKIP("this build has no such split path");
    splitPath = named->second;
}

void TestTrialTokenizer::records_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("transcript");

    QTest::newRow("comma") << QByteArray("plot,date,level\nP1,01/07,0\nP1,11/07,10\n")
                           << QStringList{"sep ,", "1: plot|date|level", "2: P1|01/07|0",
                                          "3: P1|11/07|10", "end 3"};
    QTest::newRow("semicolon, blanks around fields")
        << QByteArray("Plot ; DATE;Level\n P1 ; 01/07 ;12,5\n")
        << QStringList{"sep ;", "1: Plot|DATE|Level", "2: P1|01/07|12,5", "end 2"};
    QTest::newRow("tab, the blank kept inside a field")
        << QByteArray("plot\tdate\tlevel\tclone\nP 1\t01/07\t3\tBella rosa\n")
        << QStringList{"sep tab", "1: plot|date|level|clone", "2: P 1|01/07|3|Bella rosa", "end 2"};
    QTest::newRow("the most frequent separator, a tie to the tab, then the semicolon")
        << QByteArray("a,b;c;d\n1\t2,3\n")
        << QStringList{"sep ;", "1: a,b|c|d", "2: 1\t2,3", "end 2"};
    QTest::newRow("byte order mark and CRLF")
        << QByteArray("\xEF\xBB\xBFplot,date,level\r\nP1,01/07,0\r\nP1,11/07,10\r\n")
        << QStringList{"sep ,", "1: plot|date|level", "2: P1|01/07|0", "3: P1|11/07|10", "end 3"};
    QTest::newRow("carriage returns alone end lines")
        << QByteArray("plot,date,level,note\r\"P\r1\",01/07,0,x\r\rP1,11/07,10,y\r")
        << QStringList{"sep ,", "1: plot|date|level|note", "2: P\\n1|01/07|0|x", "5: P1|11/07|10|y",
                       "end 5"};
    QTest::newRow("a carriage return alone inside a line-feed file ends a line")
        << QByteArray("plot,date,level\nP1,01/07,0\rP1,11/07,10\r\nP1,21/07,30\n")
        << QStringList{"sep ,",          "1: plot|date|level", "2: P1|01/07|0",
                       "3: P1|11/07|10", "4: P1|21/07|30",     "end 4"};
    QTest::newRow("blank lines counted, no final line break")
        << QByteArray("\nplot,date,level\n\n  \nP1,01/07,0\n,,\nP1,11/07,10")
        << QStringList{"sep ,", "2: plot|date|level", "5: P1|01/07|0", "7: P1|11/07|10", "end 7"};
    QTest::newRow("quoted separator, doubled quote, line break inside a field")
        << QByteArray(
               "plot,date,level,note\n\"P,1\",01/07,0,\"said \"\"wet\"\"\"\nP2,01/07,0,\"two\r\n"
               "lines\"\nP3,01/07,0,x\n")
        << QStringList{"sep ,",
                       "1: plot|date|level|note",
                       "2: P,1|01/07|0|said \"wet\"",
                       "3: P2|01/07|0|two\\r\\nlines",
                       "5: P3|01/07|0|x",
                       "end 5"};
    QTest::newRow("short rows and fields past the header are handed as they are")
        << QByteArray("plot,date,level,clone\nP1,01/07\nP3,01/07,1,Gala,12,,\n")
        << QStringList{"sep ,", "1: plot|date|level|clone", "2: P1|01/07",
                       "3: P3|01/07|1|Gala|12||", "end 3"};
    // Separators, blanks and line ends at each place of an eight- and a
    // sixteen-byte step, and lines that end inside one.
    QTest::newRow("stops across the split steps")
        << QByteArray("plot;date;level;c\n1234567;01/07;1;a\r\nP12345678901234; 01/07 ;2;\n"
                      "P;01/07;3;123456789012345678901234\nP;01/07;4;x\n")
        << QStringList{"sep ;",
                       "1: plot|date|level|c",
                       "2: 1234567|01/07|1|a",
                       "3: P12345678901234|01/07|2|",
                       "4: P|01/07|3|123456789012345678901234",
                       "5: P|01/07|4|x",
                       "end 5"};
    QTest::newRow("a NUL byte is the replacement character, quoted or not")
        << QByteArray("plot,date,level\nP") + '\0' + " 1,01/07,0\n\"Q" + '\0' + "\",01/07,0\n"
        << QStringList{"sep ,", "1: plot|date|level", "2: P\uFFFD 1|01/07|0", "3: Q\uFFFD|01/07|0",
                       "end 3"};
    QTest::newRow("a field of 1 MiB is read")
        << "plot,date,level\n" + QByteArray(1 << 20, 'P') + ",01/07,0\n"
        << QStringList{"sep ,", "1: plot|date|level", "2: <1048576 bytes>|01/07|0", "end 2"};
    QTest::newRow("no separator on the first line")
        << QByteArray("plot\nP1\n") << QStringList{"sep none", "1: plot", "2: P1", "end 2"};
    QTest::newRow("empty") << QByteArray() << QStringList{"end 1"};
    QTest::newRow("blank lines only") << QByteArray("\n \n") << QStringList{"end 2"};
}

void TestTrialTokenizer::records()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, transcript);

    QCOMPARE(transcriptOf(text, std::size_t(-1), true), transcript);
    QCOMPARE(transcriptOf(text, std::size_t(-1), false), transcript);
    for (std::size_t piece = 1; piece <= 8; ++piece)
        QCOMPARE(transcriptOf(text, piece, true), transcript);
}

void TestTrialTokenizer::refusedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("quote inside an unquoted field")
        << QByteArray("plot,date,level\nP1,01/07,0\nP\"2,01/07,0\n")
        << "error 3: a quote inside a field: a field holding a quote must be quoted whole, with "
           "each of its quotes doubled";
    QTest::newRow("a field longer than 1 MiB")
        << "plot,date,level\nP1,01/07,0\nP1,11/07," + QByteArray((1 << 20) + 1, '1') + "\n"
        << "error 3: a field longer than 1 MiB: no trial holds one";
    QTest::newRow("quoted field left open names the line it opens on")
        << QByteArray("plot,date,level\nP1,01/07,0\n\"P2,01/07,0\nP3,01/07,0\n")
        << "error 3: a quoted field is not closed before the end of the file";
}

void TestTrialTokenizer::refusedText()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);

    for (const bool splitPlainLines : {true, false}) {
        const QStringList lines = transcriptOf(text, std::size_t(-1), splitPlainLines);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.constLast(), error);
        QVERIFY(!lines.contains(QStringLiteral("end 4")));
    }
    QCOMPARE(transcriptOf(text, 4096, true).constLast(), error);
}

// Once the sink refuses a record, nothing more is handed over: neither the
// records after it nor the end.
void TestTrialTokenizer::sinkRefusalStopsReading_data()
{
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("plain lines") << QByteArray("plot,date,level\nP1,01/07,0\nP2,01/07,0\n");
    QTest::newRow("quoted lines") << QByteArray(
        "plot,date,level\n\"P1\",01/07,0\n\"P2\",01/07,0\n");
    QTest::newRow("the last line, without its line break")
        << QByteArray("plot,date,level\nP1,01/07,0");
}

void TestTrialTokenizer::sinkRefusalStopsReading()
{
    QFETCH(QByteArray, text);

    for (const bool splitPlainLines : {true, false}) {
        for (const std::size_t piece : {std::size_t(-1), std::size_t{3}}) {
            const QStringList lines = transcriptOf(text, piece, splitPlainLines, 2);
            QCOMPARE(lines.size(), 3);
            QVERIFY(lines.constLast().startsWith(QStringLiteral("2: P1")));
        }
    }
}

// A field with no end in sight is refused once it passes 1 MiB, while the
// file is still being read, and named by the line it begins on.
void TestTrialTokenizer::endlessFieldRefusedWhileRead_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("filler"); // repeated after the start
    QTest::addColumn<bool>("splitPlainLines");
    QTest::addColumn<QString>("error");

    const QString tooLong = QStringLiteral("a field longer than 1 MiB: no trial holds one");
    QTest::newRow("a level") << QByteArray("plot,date,level\nP1,01/07,0\nP1,11/07,")
                             << QByteArray("1") << true << "error 3: " + tooLong;
    QTest::newRow("a quote left open")
        << QByteArray("plot,date,level\nP1,01/07,0\n\"P2,01/07,0\n") << QByteArray("P,01/07,0\n")
        << true << "error 3: " + tooLong;
    QTest::newRow("a quote left open, every line through libcsv")
        << QByteArray("plot,date,level\n\"P1,01/07,0\n") << QByteArray("P,01/07,0\n") << false
        << "error 2: " + tooLong;
    QTest::newRow("a quote left open, carriage returns alone")
        << QByteArray("plot,date,level\r\r\"P1,01/07,0\r") << QByteArray("P,01/07,0\r") << true
        << "error 3: " + tooLong;
}

void TestTrialTokenizer::endlessFieldRefusedWhileRead()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, filler);
    QFETCH(bool, splitPlainLines);
    QFETCH(QString, error);

    Transcript transcript;
    TrialTokenizer tokenizer(transcript, TrialTokenizer::Options{splitPlainLines, splitPath});
    tokenizer.read(std::string_view(start.constData(), std::size_t(start.size())));
    QVERIFY(!tokenizer.error());
    QByteArray piece;
    while (piece.size() < 65536)
        piece += filler;
    for (int i = 0; i < 32 && !tokenizer.error(); ++i) // 2 MiB
        tokenizer.read(std::string_view(piece.constData(), std::size_t(piece.size())));
    const std::optional<TrialError>& got = tokenizer.error();
    QVERIFY(got);
    QCOMPARE(
        QStringLiteral("error %1: %2").arg(got->line).arg(QString::fromStdString(got->message)),
        error);
}

// The start of a file waits until its header is found: a first piece of
// many kilobytes is taken in steps, and must read as it does in small pieces.
void TestTrialTokenizer::largeFirstPiece_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("first"); // the transcript's first record
    QTest::addColumn<QString>("last");

    QByteArray rows;
    for (int i = 1; i <= 3000; ++i)
        rows += "P" + QByteArray::number(i) + ",01/07," + QByteArray::number(i % 100) + "\n";
    QTest::newRow("many blank lines before the header")
        << QByteArray(5000, '\n') + "plot,date,level\n" + rows << "5001: plot|date|level"
        << "end 8001";
    QTest::newRow("a header longer than the first steps")
        << "plot,date,level," + QByteArray(9000, 'c') + "\n" + rows
        << "1: plot|date|level|<9000 bytes>"
        << "end 3001";
    QTest::newRow("a byte order mark, blanks, the header across a step")
        << "\xEF\xBB\xBF" + QByteArray(4090, ' ') + "\nplot;date;level\n" + rows.replace(',', ';')
        << "2: plot|date|level"
        << "end 3002";
    QTest::newRow("no line break in the first megabyte")
        << QByteArray(1536 * 1024, 'x') << ""
        << "error 1: no line break in the first 1 MiB: this is not a trial file";
}

void TestTrialTokenizer::largeFirstPiece()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, first);
    QFETCH(QString, last);

    const QStringList whole = transcriptOf(text, std::size_t(-1), true);
    QVERIFY(!whole.isEmpty());
    if (!first.isEmpty())
        QCOMPARE(whole.value(1), first);
    QCOMPARE(whole.constLast(), last);
    QCOMPARE(transcriptOf(text, std::size_t(-1), false), whole);
    for (const std::size_t piece : {std::size_t{1000}, std::size_t{4096}, std::size_t{4097}})
        QCOMPARE(transcriptOf(text, piece, true), whole);
}

QTEST_GUILESS_MAIN(TestTrialTokenizer)
#include "tst_trial_tokenizer.moc"
