// What the portable core spends on one search: the keyword box's UTF-16 text
// to UTF-8, the page search on the page's start state, the launch's escaping,
// and each URL back to UTF-16 for the shell. Printed, not judged: it should
// stay at a few microseconds, far below anything a user could notice. And
// what reading Engines.ini costs at its size limit, for the example and for a
// file crafted to be slow (which should cost no more than the limit's bytes).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "engines/user_pages.h"
#include "text/encoder.h"
#include "text/text.h"

namespace {

using namespace velvane;

constexpr const char* kEngineNames[] = {"baidu", "google", "yahoo", "youdao", "soso", "sogou", "gougou"};

std::size_t one_search(const Engine& engine, std::u16string_view typed, EncoderScratch& scratch) {
    PageState state = initial_state(engine);
    state.keyword = utf8_from_utf16(typed);
    std::size_t units = 0;
    for (const std::string& url : page_search(engine, state, scratch))
        units += utf16_from_utf8(launch_safe_url(url)).size();
    return units;
}

void search(benchmark::State& state, std::u16string_view typed) {
    const auto index = static_cast<std::size_t>(state.range(0));
    const Engine& engine = *all_engines()[index];
    EncoderScratch scratch;
    for (auto _ : state) benchmark::DoNotOptimize(one_search(engine, typed, scratch));
    state.SetLabel(kEngineNames[index]);
}

// A typical keyword: a few Chinese characters and a word.
void BM_Search(benchmark::State& state) { search(state, u"中文搜索 velvane"); }
BENCHMARK(BM_Search)->DenseRange(0, 6);

// A pasted paragraph: 1,000 characters.
void BM_SearchLongKeyword(benchmark::State& state) {
    const std::u16string typed(1000, u'搜');
    search(state, typed);
}
BENCHMARK(BM_SearchLongKeyword)->Arg(0);

// The list search that opens a URL with the raw keyword (百度 影视).
void BM_ListPick(benchmark::State& state) {
    EncoderScratch scratch;
    for (auto _ : state) {
        PageState page = initial_state(kBaidu);
        page.keyword = utf8_from_utf16(u"中文搜索 velvane");
        page.list_index = 0;
        benchmark::DoNotOptimize(list_pick(kBaidu, page, scratch));
    }
}
BENCHMARK(BM_ListPick);

// Engines.ini as the menu writes it.
void BM_ReadUserPagesExample(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(read_user_pages(kUserPagesExample));
}
BENCHMARK(BM_ReadUserPagesExample);

// Engines.ini at its size limit, all empty sections: half of them new names,
// then each name again. Each section is checked against every name before it.
void BM_ReadUserPagesOfEmptySections(benchmark::State& state) {
    std::string half;
    for (int name = 0; half.size() < kUserPagesMaxBytes / 2; ++name) half += "[" + std::to_string(name) + "]\n";
    const std::string file = half + half;
    for (auto _ : state) benchmark::DoNotOptimize(read_user_pages(file));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadUserPagesOfEmptySections)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
