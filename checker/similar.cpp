#include "similar.hpp"

#include "terminal_text.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>

namespace {

bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::uint64_t text_hash(std::string_view text) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

// Matching runs of one pair: token ranges in both sources, last included.
struct MatchRun {
    std::uint32_t a_first, a_last, b_first, b_last;
    std::uint32_t length() const { return a_last - a_first; }
};

// Fingerprints of a shared hash, chained into runs that go forward in both
// sources with gaps of at most a window and a k-gram, each run then
// widened over the equal tokens on both sides.
std::vector<MatchRun> match_runs(const Fingerprinted& a, const Fingerprinted& b,
                                 const std::vector<std::uint64_t>& left_out) {
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> in_b;
    for (const Fingerprint& p : b.prints) in_b[p.hash].push_back(p.token);
    constexpr std::uint32_t GAP = SIMILAR_K + SIMILAR_W;
    constexpr std::size_t MATCH_PLACES = 8, OPEN_RUNS = 64, WIDENED = 16;
    std::vector<MatchRun> runs;
    for (const Fingerprint& p : a.prints) {
        if (std::binary_search(left_out.begin(), left_out.end(), p.hash)) continue;
        auto places = in_b.find(p.hash);
        // A hash in many places (a line repeated over and over) tells no
        // place apart; it counts for the percentage only.
        if (places == in_b.end() || places->second.size() > MATCH_PLACES) continue;
        for (std::uint32_t t : places->second) {
            // Only the latest runs can still go on.
            auto open = runs.end() - static_cast<std::ptrdiff_t>(std::min(runs.size(), OPEN_RUNS));
            auto run = std::find_if(open, runs.end(), [&](const MatchRun& r) {
                return p.token > r.a_first && p.token <= r.a_last + 1 + GAP - SIMILAR_K &&
                       t > r.b_first && t <= r.b_last + 1 + GAP - SIMILAR_K;
            });
            auto last = [](std::uint32_t first, const Fingerprinted& f) {
                return static_cast<std::uint32_t>(
                    std::min<std::size_t>(first + SIMILAR_K, f.tokens.size()) - 1);
            };
            if (run != runs.end()) {
                run->a_last = std::max(run->a_last, last(p.token, a));
                run->b_last = std::max(run->b_last, last(t, b));
            } else {
                runs.push_back({p.token, last(p.token, a), t, last(t, b)});
            }
        }
    }
    std::stable_sort(runs.begin(), runs.end(),
                     [](const MatchRun& x, const MatchRun& y) { return x.length() > y.length(); });
    // The longest runs widened, each over as many tokens as it can cover.
    if (runs.size() > WIDENED) runs.resize(WIDENED);
    for (MatchRun& r : runs) {
        while (r.a_first > 0 && r.b_first > 0 && a.tokens[r.a_first - 1] == b.tokens[r.b_first - 1])
            --r.a_first, --r.b_first;
        while (r.a_last + 1 < a.tokens.size() && r.b_last + 1 < b.tokens.size() &&
               a.tokens[r.a_last + 1] == b.tokens[r.b_last + 1])
            ++r.a_last, ++r.b_last;
    }
    std::stable_sort(runs.begin(), runs.end(),
                     [](const MatchRun& x, const MatchRun& y) { return x.length() > y.length(); });
    // A run inside a longer one says nothing more.
    std::vector<MatchRun> kept;
    for (const MatchRun& r : runs) {
        if (std::none_of(kept.begin(), kept.end(), [&](const MatchRun& k) {
                return k.a_first <= r.a_first && r.a_last <= k.a_last && k.b_first <= r.b_first &&
                       r.b_last <= k.b_last;
            }))
            kept.push_back(r);
    }
    return kept;
}

std::string lines_text(const Fingerprinted& f, std::uint32_t first, std::uint32_t last) {
    int from = f.token_lines[first], to = f.token_lines[last];
    return from == to ? "line " + std::to_string(from)
                      : "lines " + std::to_string(from) + "-" + std::to_string(to);
}

std::string run_text(const Fingerprinted& a, const Fingerprinted& b, const MatchRun& r) {
    return lines_text(a, r.a_first, r.a_last) + " of " + a.name + " ~ " +
           lines_text(b, r.b_first, r.b_last) + " of " + b.name;
}

// Distinct hashes of sorted lists: how many of one are in the other.
std::size_t shared_count(const std::vector<std::uint64_t>& x, const std::vector<std::uint64_t>& y) {
    std::size_t n = 0;
    for (auto i = x.begin(), j = y.begin(); i != x.end() && j != y.end();) {
        if (*i < *j) {
            ++i;
        } else if (*j < *i) {
            ++j;
        } else {
            ++n, ++i, ++j;
        }
    }
    return n;
}

}  // namespace

std::vector<NormalToken> normal_tokens(std::string_view source) {
    // First the label names defined anywhere, which are renamed.
    std::vector<NormalToken> raw;
    int line = 1;
    bool ended = false;
    for (std::size_t at = 0; at < source.size() && !ended;) {
        char c = source[at];
        if (c == '\n') {
            ++line, ++at;
        } else if (c == ';') {
            while (at < source.size() && source[at] != '\n') ++at;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++at;
        } else if (letter(c) || (c == '[' && at + 1 < source.size() && letter(source[at + 1]))) {
            std::string word(1, lower(c));
            for (++at; at < source.size() && (letter(source[at]) || digit(source[at])); ++at)
                word += lower(source[at]);
            // The rest of the source after "end" is not read.
            if (word == "end") ended = true;
            raw.push_back({word, line});
        } else if (digit(c)) {
            std::string number;
            for (; at < source.size() && digit(source[at]); ++at) number += source[at];
            // 007 and 7 are one number.
            number.erase(0, std::min(number.find_first_not_of('0'), number.size() - 1));
            raw.push_back({number, line});
        } else {
            raw.push_back({std::string(1, c), line});
            ++at;
        }
    }
    // Every use of a label is one token kind, as is every definition: a
    // label's name and its order of appearance never matter, so an added,
    // removed, renamed or reordered label changes only its own tokens.
    std::set<std::string> defined;
    for (const NormalToken& t : raw) {
        if (t.text[0] == '[') defined.insert(t.text.substr(1));
    }
    for (NormalToken& t : raw) {
        bool definition = t.text[0] == '[';
        if (defined.count(definition ? t.text.substr(1) : t.text) > 0)
            t.text = definition ? "[L" : "L";
    }
    // Data lines ("db", "dw" and their numbers) are left out: every
    // solution declares the handed-out array and a few zeroed variables,
    // which would make distinct solutions look alike.
    std::set<int> data_lines;
    for (const NormalToken& t : raw) {
        if (t.text == "db" || t.text == "dw") data_lines.insert(t.line);
    }
    std::erase_if(raw, [&](const NormalToken& t) { return data_lines.count(t.line) > 0; });
    return raw;
}

Fingerprinted fingerprint(std::string name, std::string_view source) {
    Fingerprinted f;
    f.name = std::move(name);
    f.text = source;
    std::vector<NormalToken> tokens = normal_tokens(source);
    std::vector<std::uint64_t>& token_hashes = f.tokens;
    for (const NormalToken& t : tokens) {
        f.token_lines.push_back(t.line);
        token_hashes.push_back(text_hash(t.text));
    }
    if (tokens.empty()) return f;
    // A source shorter than a k-gram is one k-gram.
    std::size_t k = std::min(SIMILAR_K, tokens.size());
    std::vector<std::uint64_t> grams(tokens.size() - k + 1);
    for (std::size_t i = 0; i < grams.size(); ++i) {
        std::uint64_t h = 0;
        for (std::size_t j = 0; j < k; ++j) h = (h ^ token_hashes[i + j]) * 0x100000001b3ull;
        grams[i] = mix(h);
    }
    // Winnowing: the smallest hash of every window of W k-grams (the
    // rightmost of equal ones), each position once.
    std::size_t w = std::min(SIMILAR_W, grams.size());
    std::size_t last = grams.size();
    for (std::size_t start = 0; start + w <= grams.size(); ++start) {
        std::size_t best = start;
        for (std::size_t i = start; i < start + w; ++i) {
            if (grams[i] <= grams[best]) best = i;
        }
        if (best != last) {
            f.prints.push_back({grams[best], static_cast<std::uint32_t>(best)});
            last = best;
        }
    }
    for (const Fingerprint& p : f.prints) f.hashes.push_back(p.hash);
    std::sort(f.hashes.begin(), f.hashes.end());
    f.hashes.erase(std::unique(f.hashes.begin(), f.hashes.end()), f.hashes.end());
    return f;
}

namespace {

// Union of the sources joined by a pair, each cluster in source order.
std::vector<std::vector<std::uint32_t>> clusters_of(std::size_t n,
                                                    const std::vector<SimilarPair>& pairs) {
    std::vector<std::uint32_t> root(n);
    for (std::uint32_t i = 0; i < n; ++i) root[i] = i;
    auto find = [&](std::uint32_t i) {
        while (root[i] != i) i = root[i] = root[root[i]];
        return i;
    };
    for (const SimilarPair& p : pairs) {
        if (p.percent == 0) continue;  // nothing shared joins nothing
        std::uint32_t x = find(p.a), y = find(p.b);
        if (x != y) root[std::max(x, y)] = std::min(x, y);
    }
    std::map<std::uint32_t, std::vector<std::uint32_t>> groups;
    for (std::uint32_t i = 0; i < n; ++i) groups[find(i)].push_back(i);
    std::vector<std::vector<std::uint32_t>> clusters;
    for (auto& [first, members] : groups) {
        if (members.size() > 1) clusters.push_back(std::move(members));
    }
    return clusters;
}

// "ana, hana, zoe (92-100%)": the cluster's sources and the range of its pairs.
std::string cluster_text(const std::vector<Fingerprinted>& sources, const Similarity& found,
                         const std::vector<std::uint32_t>& members) {
    std::string text;
    int low = 100, high = 0;
    for (std::uint32_t m : members) text += (text.empty() ? "" : ", ") + sources[m].name;
    for (const SimilarPair& p : found.pairs) {
        if (p.percent > 0 && std::binary_search(members.begin(), members.end(), p.a)) {
            low = std::min(low, p.percent);
            high = std::max(high, p.percent);
        }
    }
    std::string range = low == high ? std::to_string(low) + "%"
                                    : std::to_string(low) + "-" + std::to_string(high) + "%";
    return text + " (" + range + ")";
}

std::string summary_text(std::size_t n, const Similarity& found, int threshold) {
    return std::to_string(n) + (n == 1 ? " source, " : " sources, ") +
           std::to_string(found.pairs.size()) + (found.pairs.size() == 1 ? " pair" : " pairs") +
           " at or above " + std::to_string(threshold) + "%";
}

}  // namespace

Similarity compare_sources(const std::vector<Fingerprinted>& sources,
                           const std::vector<Fingerprinted>& bases, int threshold) {
    Similarity found;
    std::vector<std::uint64_t>& base_hashes = found.base_hashes;
    for (const Fingerprinted& b : bases)
        base_hashes.insert(base_hashes.end(), b.hashes.begin(), b.hashes.end());
    std::sort(base_hashes.begin(), base_hashes.end());
    base_hashes.erase(std::unique(base_hashes.begin(), base_hashes.end()), base_hashes.end());

    // Each source's hashes without the bases', and which sources hold each.
    std::size_t n = sources.size();
    std::vector<std::vector<std::uint64_t>> own(n);
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> holders;
    for (std::size_t i = 0; i < n; ++i) {
        std::set_difference(sources[i].hashes.begin(), sources[i].hashes.end(), base_hashes.begin(),
                            base_hashes.end(), std::back_inserter(own[i]));
        for (std::uint64_t h : own[i]) holders[h].push_back(static_cast<std::uint32_t>(i));
    }
    // Shared hashes of every pair, one source at a time against the later ones.
    std::vector<SimilarPair>& pairs = found.pairs;
    std::vector<std::uint32_t> shared(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::fill(shared.begin() + static_cast<std::ptrdiff_t>(i), shared.end(), 0);
        for (std::uint64_t h : own[i]) {
            for (std::uint32_t j : holders[h]) {
                if (j > i) ++shared[j];
            }
        }
        for (std::size_t j = i + 1; j < n; ++j) {
            std::size_t smaller = std::min(own[i].size(), own[j].size());
            int percent = smaller == 0 ? 0 : static_cast<int>(100 * shared[j] / smaller);
            if (percent >= threshold)
                pairs.push_back(
                    {percent, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const SimilarPair& x, const SimilarPair& y) {
        return x.percent > y.percent;
    });
    found.clusters = clusters_of(n, pairs);
    return found;
}

std::string similarity_report(const std::vector<Fingerprinted>& sources,
                              const std::vector<Fingerprinted>& bases, int threshold) {
    const Similarity found = compare_sources(sources, bases, threshold);
    const std::vector<std::uint64_t>& base_hashes = found.base_hashes;
    constexpr std::size_t RUNS_SHOWN = 4;
    std::string out;
    for (std::size_t c = 0; c < found.clusters.size(); ++c)
        out += "cluster " + std::to_string(c + 1) + ": " +
               cluster_text(sources, found, found.clusters[c]) + "\n";
    for (const SimilarPair& p : found.pairs) {
        const Fingerprinted &a = sources[p.a], &b = sources[p.b];
        out += std::to_string(p.percent) + "% " + a.name + " " + b.name;
        std::vector<MatchRun> runs = match_runs(a, b, base_hashes);
        for (std::size_t r = 0; r < runs.size() && r < RUNS_SHOWN; ++r)
            out += (r == 0 ? ": " : "\n  ") + run_text(a, b, runs[r]);
        out += "\n";
    }
    for (const Fingerprinted& s : sources) {
        for (const Fingerprinted& b : bases) {
            std::size_t percent =
                s.hashes.empty() ? 0 : 100 * shared_count(s.hashes, b.hashes) / s.hashes.size();
            out += s.name + " is " + std::to_string(percent) + "% the base " + b.name + "\n";
        }
    }
    return out + summary_text(sources.size(), found, threshold) + "\n";
}

namespace {

// Text as HTML character data: markup characters as references, controls
// as \xHH, bytes that are not UTF-8 as U+FFFD.
std::string html_text(std::string_view text) {
    std::string out;
    char escaped[8];
    for (std::size_t at = 0; at < text.size(); ++at) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            std::size_t length = utf8_length(text, at);
            if (length > 0) {
                out.append(text.substr(at, length));
                at += length - 1;
            } else {
                out += "\uFFFD";
            }
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\t': out += "        "; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

// One source as numbered lines, those in `shared` marked.
std::string html_source(const Fingerprinted& f, const std::set<int>& shared) {
    std::string out = "<pre>";
    int number = 1;
    for (std::size_t at = 0; at <= f.text.size(); ++number) {
        std::size_t end = f.text.find('\n', at);
        if (end == std::string::npos) end = f.text.size();
        if (end == at && end == f.text.size()) break;
        std::string_view line(f.text.data() + at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        bool mark = shared.count(number) > 0;
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%4d ", number);
        out += std::string(mark ? "<mark>" : "<span>") + prefix + html_text(line) +
               (mark ? "</mark>\n" : "</span>\n");
        at = end + 1;
    }
    return out + "</pre>";
}

}  // namespace

std::string similarity_html(const std::vector<Fingerprinted>& sources,
                            const std::vector<Fingerprinted>& bases, int threshold) {
    const Similarity found = compare_sources(sources, bases, threshold);
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Similar sources</title>\n<style>\n"
        "body { font-family: sans-serif; margin: 1em 2em; }\n"
        "table { border-collapse: collapse; width: 100%; table-layout: fixed; }\n"
        "td { vertical-align: top; border: 1px solid #ccc; padding: 0 0.5em; overflow-x: auto; }\n"
        "pre { margin: 0.5em 0; } mark { background: #fd8; display: block; }\n"
        "span { display: block; }\n</style>\n</head>\n<body>\n<h1>Similar sources</h1>\n<p>" +
        summary_text(sources.size(), found, threshold) + "</p>\n";
    if (!found.clusters.empty()) {
        out += "<h2>Clusters</h2>\n<ul>\n";
        for (std::size_t c = 0; c < found.clusters.size(); ++c)
            out += "<li>cluster " + std::to_string(c + 1) + ": " +
                   html_text(cluster_text(sources, found, found.clusters[c])) + "</li>\n";
        out += "</ul>\n";
    }
    for (std::size_t k = 0; k < found.pairs.size(); ++k) {
        const SimilarPair& p = found.pairs[k];
        const Fingerprinted &a = sources[p.a], &b = sources[p.b];
        std::set<int> in_a, in_b;
        for (const MatchRun& r : match_runs(a, b, found.base_hashes)) {
            for (int l = a.token_lines[r.a_first]; l <= a.token_lines[r.a_last]; ++l)
                in_a.insert(l);
            for (int l = b.token_lines[r.b_first]; l <= b.token_lines[r.b_last]; ++l)
                in_b.insert(l);
        }
        out += "<h2 id=\"pair-" + std::to_string(k + 1) + "\">" + std::to_string(p.percent) + "% " +
               html_text(a.name) + " ~ " + html_text(b.name) + "</h2>\n<table>\n<tr><th>" +
               html_text(a.name) + "</th><th>" + html_text(b.name) + "</th></tr>\n<tr><td>" +
               html_source(a, in_a) + "</td><td>" + html_source(b, in_b) + "</td></tr>\n</table>\n";
    }
    for (const Fingerprinted& s : sources) {
        for (const Fingerprinted& b : bases) {
            std::size_t percent =
                s.hashes.empty() ? 0 : 100 * shared_count(s.hashes, b.hashes) / s.hashes.size();
            out += "<p>" + html_text(s.name) + " is " + std::to_string(percent) + "% the base " +
                   html_text(b.name) + "</p>\n";
        }
    }
    return out + "</body>\n</html>\n";
}
