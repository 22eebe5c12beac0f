#include "evidence/strandpool.h"
#include "tests/support/testmain.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The export's writers: each camera's frames must be written in the order they were
// posted, every one of them, however the strands share the threads.
class TestStrandPool : public QObject {
    Q_OBJECT

private slots:
    void keepsEachStrandsOrder()
    {
        constexpr size_t STRANDS = 5, TASKS = 400;
        std::vector<std::vector<size_t>> done(STRANDS);
        std::vector<std::unique_ptr<std::mutex>> guards;
        for (size_t i = 0; i < STRANDS; ++i)
            guards.push_back(std::make_unique<std::mutex>());
        {
            CStrandPool pool(3, 2); // more strands than threads, little room: Post must wait
            for (size_t task = 0; task < TASKS; ++task) {
                const size_t strand = (task * 7) % STRANDS;
                pool.Post(strand, [&, strand, task] {
                    if (task % 13 == 0)
                        std::this_thread::yield();
                    std::lock_guard lock(*guards[strand]);
                    done[strand].push_back(task);
                });
            }
        } // the destructor runs what was posted
        size_t total = 0;
        for (const std::vector<size_t>& tasks : done) {
            QVERIFY(std::is_sorted(tasks.begin(), tasks.end()));
            total += tasks.size();
        }
        QCOMPARE(total, TASKS);
    }

    // One strand's tasks never run at the same time as each other; Finish returns
    // only when every task posted has run.
    void oneStrandRunsOneTaskAtATime()
    {
        CStrandPool pool(4, 8);
        std::atomic<int> inside{0}, ran{0};
        std::atomic<bool> overlapped{false};
        for (int i = 0; i < 200; ++i)
            pool.Post(2, [&] {
                overlapped = overlapped || ++inside > 1;
                std::this_thread::yield();
                --inside;
                ++ran;
            });
        pool.Finish();
        QCOMPARE(ran.load(), 200);
        QVERIFY(!overlapped);
    }
};

KVX_REGISTER_TEST(TestStrandPool);
#include "tst_strandpool.moc"
