// Writers and messages: threads with writers of their own produce the bytes
// of a one-thread run, and a handler takes every line away from stderr.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"

using namespace pclxl_test;

namespace {

// A whole small job: every kind of call that writes pieces or lines.
void write_job(int variant) {
    pclxl_start_job_new("A4", "plain", "auto", "color", false, "simplex", 1);
    pclxl_begin_session(600, 600);
    pclxl_open_datasource();
    pclxl_begin_page(0, 0, "simplex", "A4", PCLXL_MEDIA_A4, "Plain", 1, 100, 100, 0, 0);
    pclxl_set_color_space(PCLXL_COLOR_SPACE_RGB);
    std::vector<unsigned char> pixels(3 * 64 * 40);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * (variant + 3) / 7);
    pclxl_write_pixels(PCLXL_PIXELS_RGB24, pixels.data(), 64, 40, 3 * 64, 0, 0, 64, 40);
    pclxl_end_page(false, 1);
    pclxl_close_datasource();
    pclxl_end_session();
    pclxl_end_job();
}

void append_to(const void *buffer, unsigned int length, const void *context) {
    auto *out = static_cast<Bytes *>(const_cast<void *>(context));
    const auto *b = static_cast<const unsigned char *>(buffer);
    out->insert(out->end(), b, b + length);
}

void collect_line(const char *line, void *user) {
    static_cast<std::vector<std::string> *>(user)->push_back(line);
}

// Splits text at its newlines, dropping them.
std::vector<std::string> lines_of(const std::string &text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Each thread's handler gets the lines of its own jobs; a thread without one
// still writes to stderr.
TEST(Writers, ConcurrentJobsEachGiveTheirOneThreadBytesAndLines) {
    constexpr int kThreads = 4;
    Bytes expected[kThreads], got[kThreads];
    std::vector<std::string> expected_lines[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        Capture cap;
        expected_lines[t] = lines_of(capture_stderr([&] { write_job(t); }));
        expected[t] = cap.all();
    }
    // The process-wide sink must see nothing of the threads' jobs.
    Capture process_wide;
    pclxl_writer *writers[kThreads] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &got, &writers, &expected_lines] {
            pclxl_writer *w = writers[t] = pclxl_writer_new(&got[t], append_to);
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(pclxl_writer_use(w), nullptr);
            std::vector<std::string> lines;
            pclxl_set_message_handler(collect_line, &lines);
            for (int round = 0; round < 5; ++round) {
                got[t].clear();
                lines.clear();
                write_job(t);
            }
            EXPECT_EQ(lines, expected_lines[t]);
        });
    for (std::thread &th : threads)
        th.join();
    EXPECT_TRUE(process_wide.pieces().empty());
    EXPECT_EQ(capture_stderr([] { pclxl_end_session(); }),
              "=> pclxl_end_session\n<= pclxl_end_session\n");
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(got[t], expected[t]) << "thread " << t;
        pclxl_writer_free(writers[t]);
    }
}

TEST(Writers, FreeingTheWriterInUseFallsBackToTheProcessSink) {
    Capture cap;
    Bytes mine;
    pclxl_writer *w = pclxl_writer_new(&mine, append_to);
    pclxl_writer_use(w);
    pclxl_set_rop3(1);
    pclxl_writer_free(w);
    pclxl_set_rop3(2);
    EXPECT_EQ(to_hex(mine), "C0 01 F8 2C 7B");
    EXPECT_EQ(to_hex(cap.all()), "C0 02 F8 2C 7B");
}

TEST(Messages, HandlerGetsEveryLineAndStderrNone) {
    // What stderr gets without a handler is the reference, line for line.
    const auto lines_written = [] {
        Capture cap;
        write_job(0);
        pclxl_begin_page(0, 0, "simplex", "A4", 2, "", -1, 0, 0, 0, 0);   // two warnings
        pclxl_write_bitmap_data(0, nullptr, 1, 1, 1, 7, 0, 0, 1, 1);      // a refusal
        pclxl_set_char_for_bitmap("f", 100, 65, nullptr, -1, 0, 0, 1, 1); // another
    };
    const std::vector<std::string> reference = lines_of(capture_stderr(lines_written));
    ASSERT_GT(reference.size(), 10u);

    for (bool own_writer : {false, true}) { // the process-wide handler, then the writer's
        SCOPED_TRACE(own_writer);
        Bytes sink;
        pclxl_writer *w = own_writer ? pclxl_writer_new(&sink, append_to) : nullptr;
        pclxl_writer_use(w);
        std::vector<std::string> got;
        pclxl_set_message_handler(collect_line, &got);
        EXPECT_EQ(capture_stderr(lines_written), "");
        EXPECT_EQ(got, reference);
        pclxl_set_message_handler(nullptr, nullptr);
        EXPECT_EQ(lines_of(capture_stderr(lines_written)), reference);
        pclxl_writer_use(nullptr);
        pclxl_writer_free(w);
    }
}

} // namespace
