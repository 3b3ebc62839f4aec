// The JSON component's document reader: the JSON library's events passed on
// to its own document builder, refusing a key given twice in one object and
// nesting deeper than a limit, with the JSON pointer of the place. The JSON
// library's callback parser would do the same checks but looks for discarded
// values through the whole enclosing list at the end of every object, which
// takes time quadratic in a long list; this reader stays linear. Internal to
// the component (not installed).
#ifndef XQOVA_JSON_CHECKED_DOCUMENT_H
#define XQOVA_JSON_CHECKED_DOCUMENT_H

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace xqova {
namespace json_detail {

// A JSON pointer's reference token.
inline std::string EscapePointerToken(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '~') {
            out += "~0";
        } else if (c == '/') {
            out += "~1";
        } else {
            out += c;
        }
    }
    return out;
}

// `Refuse(path, reason)` must not return (it throws the caller's refusal).
template <typename Json, typename Refuse>
class CheckedDocument {
public:
    CheckedDocument(Json& result, std::size_t maxDepth, Refuse refuse)
        : dom_(result, true), maxDepth_(maxDepth), refuse_(refuse) {}

    bool null() { return Advance(), dom_.null(); }
    bool boolean(bool v) { return Advance(), dom_.boolean(v); }
    bool number_integer(typename Json::number_integer_t v) { return Advance(), dom_.number_integer(v); }
    bool number_unsigned(typename Json::number_unsigned_t v) { return Advance(), dom_.number_unsigned(v); }
    bool number_float(typename Json::number_float_t v, const typename Json::string_t& s) {
        return Advance(), dom_.number_float(v, s);
    }
    bool string(typename Json::string_t& v) { return Advance(), dom_.string(v); }
    bool binary(typename Json::binary_t& v) { return Advance(), dom_.binary(v); }
    bool start_object(std::size_t n) { return Open(false), dom_.start_object(n); }
    bool start_array(std::size_t n) { return Open(true), dom_.start_array(n); }
    bool end_object() { return frames_.pop_back(), dom_.end_object(); }
    bool end_array() { return frames_.pop_back(), dom_.end_array(); }
    bool key(typename Json::string_t& k) {
        Frame& f = frames_.back();
        f.key = k;
        if (!f.keys.insert(k).second) refuse_(Path(), "\"" + k + "\" is given twice");
        return dom_.key(k);
    }
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& ex) {
        return dom_.parse_error(position, token, ex);
    }

private:
    struct Frame {
        bool array;
        std::size_t next;  // the index of an array's next element
        std::string key;
        std::set<std::string> keys;
    };
    void Open(bool array) {
        Advance();
        if (frames_.size() + 1 > maxDepth_) {
            refuse_(Path(), "nested deeper than " + std::to_string(maxDepth_) + " levels");
        }
        frames_.push_back(Frame{array, 0, std::string(), {}});
    }
    void Advance() {
        if (!frames_.empty() && frames_.back().array) frames_.back().key = std::to_string(frames_.back().next++);
    }
    std::string Path() const {
        std::string path;
        for (const Frame& f : frames_) path += "/" + EscapePointerToken(f.key);
        return path;
    }

    nlohmann::detail::json_sax_dom_parser<Json> dom_;
    std::size_t maxDepth_;
    Refuse refuse_;
    std::vector<Frame> frames_;
};

// Parses `text` into `document` through a CheckedDocument; a syntax error
// throws the JSON library's parse_error.
template <typename Json, typename Refuse>
void ParseChecked(const char* text, std::size_t length, std::size_t maxDepth, Refuse refuse, Json* document) {
    CheckedDocument<Json, Refuse> handler(*document, maxDepth, refuse);
    Json::sax_parse(text, text + length, &handler);
}

}  // namespace json_detail
}  // namespace xqova

#endif
