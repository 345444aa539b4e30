// The read store: numbered reads that survive the program, leave only when the broker has them,
// and past the bound go oldest first, counted.
#include "gateway/store.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace qv::gateway;

namespace {

std::string Payload(std::int64_t seq) {
    return "read " + std::to_string(seq);
}

} // namespace

class TstGatewayStore : public QObject {
    Q_OBJECT
private slots:
    // Each reader numbers its own reads from 1; after a restart it goes on, and what was not
    // acknowledged is still there, oldest first.
    void readsAreNumberedAndSurviveARestart() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("state/reads.db").toStdString();
        std::string error;
        {
            auto store = ReadStore::Open(path, 100, error);
            QVERIFY2(store, error.c_str());
            QCOMPARE(store->add("a", Payload).seq, std::int64_t{1});
            QCOMPARE(store->add("a", Payload).seq, std::int64_t{2});
            QCOMPARE(store->add("b", Payload).seq, std::int64_t{1});
            const auto all = store->after(0, 10);
            QCOMPARE(all.size(), std::size_t(3));
            store->remove(all[0].row); // the broker took a's first
            QCOMPARE(store->size(), std::int64_t{2});
        }
        auto store = ReadStore::Open(path, 100, error);
        QVERIFY(store);
        const auto left = store->after(0, 10);
        QCOMPARE(left.size(), std::size_t(2));
        QCOMPARE(left[0].reader, std::string("a"));
        QCOMPARE(left[0].seq, std::int64_t{2});
        QCOMPARE(left[0].payload, std::string("read 2"));
        QCOMPARE(left[1].reader, std::string("b"));
        QCOMPARE(store->add("a", Payload).seq, std::int64_t{3}); // not 1 again, not 2 twice
        QVERIFY(store->after(left[1].row, 10).size() == 1);
        QVERIFY(store->error().empty());
        // A second gateway on the same file would number the same reads again: refused.
        QVERIFY(!ReadStore::Open(path, 100, error));
        QVERIFY2(error.find("locked") != std::string::npos, error.c_str());
    }

    // Past max_reads the oldest go, and each reader's loss is counted, also across a restart.
    void pastTheBoundTheOldestGoCounted() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("reads.db").toStdString();
        std::string error;
        {
            auto store = ReadStore::Open(path, 3, error);
            QVERIFY(store);
            for (int i = 0; i < 4; ++i) {
                store->add("a", Payload);
                QVERIFY(store->size() <= 3); // never one over the bound
            }
            QCOMPARE(store->dropped("a"), std::int64_t{1});
            store->add("b", Payload);
            QCOMPARE(store->size(), std::int64_t{3});
            QCOMPARE(store->dropped("a"), std::int64_t{2});
            QCOMPARE(store->dropped("b"), std::int64_t{0});
            const auto kept = store->after(0, 10);
            QCOMPARE(kept.front().seq, std::int64_t{3}); // a's 1 and 2 went
            QCOMPARE(kept.back().reader, std::string("b"));
        }
        auto store = ReadStore::Open(path, 3, error);
        QCOMPARE(store->dropped("a"), std::int64_t{2});
    }

    // A bound lowered between runs takes several readers' oldest at once: each is counted to
    // its own reader.
    void aLoweredBoundCountsEachReadersLoss() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("reads.db").toStdString();
        std::string error;
        {
            auto store = ReadStore::Open(path, 10, error);
            for (const char* reader : {"a", "b", "a", "b"})
                store->add(reader, Payload);
        }
        {
            auto store = ReadStore::Open(path, 2, error);
            store->add("c", Payload); // a 1, b 1 and a 2 go
            QCOMPARE(store->size(), std::int64_t{2});
        }
        auto store = ReadStore::Open(path, 2, error); // as the file has them
        QCOMPARE(store->dropped("a"), std::int64_t{2});
        QCOMPARE(store->dropped("b"), std::int64_t{1});
        QCOMPARE(store->dropped("c"), std::int64_t{0});
    }

    // While the file takes no writes (here: past the process's limit on file sizes) reads are
    // held in memory and the reason is said; the next write that goes through takes them into
    // the file, so that a restart finds every read not acknowledged, numbered without a gap.
    void readsHeldWhileTheFileFailsGoIntoItAfterwards() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("reads.db").toStdString();
        std::string error;
        std::int64_t acknowledged = 0;
        {
            auto store = ReadStore::Open(path, 100, error);
            store->add("a", Payload);
            QCOMPARE(store->flush(), std::size_t(0));

            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
            const rlimit unlimited = limit;
            limit.rlim_cur = static_cast<rlim_t>(std::filesystem::file_size(path + "-wal"));
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
            const auto held = store->add("a", Payload);
            store->add("b", Payload);
            store->add("a", Payload);
            const std::string failure = store->error();
            const std::size_t stillHeld = store->flush();
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &unlimited), 0);

            QVERIFY(!failure.empty());
            QCOMPARE(stillHeld, std::size_t(3));
            QCOMPARE(store->size(), std::int64_t{4});
            store->remove(held.row); // the broker took one of the held reads
            acknowledged = held.row;
            QCOMPARE(store->flush(), std::size_t(0));
            QVERIFY(store->error().empty());
            QCOMPARE(store->size(), std::int64_t{3});
            QCOMPARE(store->add("b", Payload).seq, std::int64_t{2});
            QCOMPARE(store->size(), std::int64_t{4});
            QCOMPARE(store->after(0, 10).size(), std::size_t(4));
        }
        auto store = ReadStore::Open(path, 100, error);
        QVERIFY2(store, error.c_str());
        std::vector<std::pair<std::string, std::int64_t>> kept;
        for (const StoredRead& read : store->after(0, 10)) {
            QVERIFY(read.row != acknowledged);
            kept.emplace_back(read.reader, read.seq);
        }
        const std::vector<std::pair<std::string, std::int64_t>> expected{
            {"a", 1}, {"b", 1}, {"a", 3}, {"b", 2}};
        QCOMPARE(kept, expected);
        QCOMPARE(store->add("a", Payload).seq, std::int64_t{4});
    }

    void aStoreThatCannotBeMadeIsSaid() {
        std::string error;
        QVERIFY(!ReadStore::Open("/proc/no-such/reads.db", 10, error));
        QVERIFY(!error.empty());
    }
};

QTEST_GUILESS_MAIN(TstGatewayStore)
#include "tst_gateway_store.moc"
