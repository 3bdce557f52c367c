#include "network_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessera::host {

namespace {

struct Token {
    enum Kind { Word, String, Number, Open, Close, End };
    Kind kind = End;
    std::string text;
    double number = 0;
    int line = 1, column = 1;
};

class Tokenizer {
public:
    Tokenizer(const std::string& text, const std::string& path) : m_text(text), m_path(path) {}

    std::string where(int line, int column) const {
        return m_path + ":" + std::to_string(line) + ":" + std::to_string(column);
    }
    std::string where(const Token& t) const { return where(t.line, t.column); }
    [[noreturn]] void fail(const Token& t, const std::string& what) const {
        throw Error(where(t) + ": " + what);
    }

    const Token& peek() {
        if (!m_peeked) m_next = read(), m_peeked = true;
        return m_next;
    }
    Token take() {
        peek();
        m_peeked = false;
        return m_next;
    }

private:
    char at(std::size_t k) const { return k < m_text.size() ? m_text[k] : '\0'; }
    void advance() {
        if (at(m_pos) == '\n')
            ++m_line, m_column = 1;
        else
            ++m_column;
        ++m_pos;
    }

    Token read() {
        for (;;) {  // blanks and comments
            while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(at(m_pos))))
                advance();
            if (at(m_pos) != '#') break;
            while (m_pos < m_text.size() && at(m_pos) != '\n') advance();
        }
        Token t;
        t.line = m_line, t.column = m_column;
        if (m_pos >= m_text.size()) return t;
        const char c = at(m_pos);
        if (c == '[' || c == ']') {
            t.kind = c == '[' ? Token::Open : Token::Close;
            t.text = c;
            advance();
        } else if (c == '"') {
            readString(t);
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' ||
                   c == '.') {
            readNumber(t);
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            t.kind = Token::Word;
            while (std::isalnum(static_cast<unsigned char>(at(m_pos))) || at(m_pos) == '_')
                t.text += at(m_pos), advance();
        } else {
            fail(t, std::string("unexpected character '") + c + "'");
        }
        return t;
    }

    void readString(Token& t) {
        t.kind = Token::String;
        advance();  // the opening quote
        for (;;) {
            if (m_pos >= m_text.size() || at(m_pos) == '\n') fail(t, "unterminated string");
            char c = at(m_pos);
            if (c == '"') break;
            if (c == '\\') {
                advance();
                if (m_pos >= m_text.size()) fail(t, "unterminated string");
                const char e = at(m_pos);
                c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
            }
            t.text += c;
            advance();
        }
        advance();  // the closing quote
    }

    void readNumber(Token& t) {
        t.kind = Token::Number;
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && !std::isspace(static_cast<unsigned char>(at(m_pos))) &&
               at(m_pos) != '[' && at(m_pos) != ']' && at(m_pos) != '"' && at(m_pos) != '#')
            advance();
        t.text = m_text.substr(start, m_pos - start);
        char* end = nullptr;
        errno = 0;
        t.number = std::strtod(t.text.c_str(), &end);
        if (end != t.text.c_str() + t.text.size() || t.text.empty())
            fail(t, "'" + t.text + "' is not a number");
        if (errno == ERANGE && std::abs(t.number) > 1) fail(t, "'" + t.text + "' is out of range");
    }

    const std::string& m_text;
    const std::string& m_path;
    std::size_t m_pos = 0;
    int m_line = 1, m_column = 1;
    Token m_next;
    bool m_peeked = false;
};

// "reference color[2] inputColor" -> reference, type, array size, name.
ParamAssignment parseDeclaration(const Token& t, const Tokenizer& tok) {
    std::istringstream words(t.text);
    std::vector<std::string> parts;
    for (std::string w; words >> w;) parts.push_back(w);
    ParamAssignment a;
    a.origin = tok.where(t);
    std::size_t k = 0;
    if (k < parts.size() && parts[k] == "reference") a.reference = true, ++k;
    while (k < parts.size() && (parts[k] == "uniform" || parts[k] == "varying")) ++k;
    if (parts.size() - k == 3 && parts[k + 1].front() == '[')
        parts[k] += parts[k + 1], parts.erase(parts.begin() + long(k) + 1);
    if (parts.size() - k != 2)
        tok.fail(t, "expected a parameter declaration \"[reference] type name\", got \"" + t.text +
                        "\"");
    std::string type = parts[k];
    const std::size_t bracket = type.find('[');
    if (bracket != std::string::npos) {
        const std::string count = type.substr(bracket + 1, type.size() - bracket - 2);
        char* end = nullptr;
        const long n = std::strtol(count.c_str(), &end, 10);
        if (type.back() != ']' || count.empty() || *end != '\0' || n < 0 || n > 1000000)
            tok.fail(t, "expected an array size \"type[n]\" in \"" + t.text + "\"");
        a.arraySize = static_cast<int>(n);
        type = type.substr(0, bracket);
    }
    a.type = type;
    a.name = parts[k + 1];
    return a;
}

// The values of a parameter: one bare value, or a bracketed list.
void parseValues(Tokenizer& tok, const Token& decl, ParamAssignment& a) {
    auto add = [&](const Token& v) {
        if (v.kind == Token::Number)
            a.numbers.push_back(v.number);
        else
            a.strings.push_back(v.text);
    };
    const Token& next = tok.peek();
    if (next.kind == Token::Number || next.kind == Token::String) {
        add(tok.take());
        return;
    }
    if (next.kind != Token::Open)
        tok.fail(next, "expected a value or '[' after \"" + decl.text + "\"");
    const Token open = tok.take();
    for (;;) {
        const Token v = tok.take();
        if (v.kind == Token::Close) return;
        if (v.kind == Token::Number || v.kind == Token::String) {
            add(v);
            continue;
        }
        tok.fail(v, "expected ']' to close the '[' at " + tok.where(open));
    }
}

std::vector<ParamAssignment> parseParams(Tokenizer& tok) {
    std::vector<ParamAssignment> params;
    while (tok.peek().kind == Token::String) {
        const Token decl = tok.take();
        ParamAssignment a = parseDeclaration(decl, tok);
        parseValues(tok, decl, a);
        params.push_back(std::move(a));
    }
    return params;
}

Token expectString(Tokenizer& tok, const std::string& what) {
    const Token t = tok.take();
    if (t.kind != Token::String) tok.fail(t, "expected " + what);
    return t;
}

}  // namespace

NetworkFile parseNetworkText(const std::string& text, const std::string& path) {
    NetworkFile file;
    file.path = path;
    Tokenizer tok(text, path);
    for (;;) {
        const Token t = tok.take();
        if (t.kind == Token::End) break;
        if (t.kind != Token::Word) tok.fail(t, "expected a statement (Pattern or Option)");
        if (t.text == "Pattern") {
            PatternStatement p;
            p.origin = tok.where(t);
            p.type = expectString(tok, "the node type after Pattern").text;
            p.handle = expectString(tok, "the handle after the node type").text;
            p.params = parseParams(tok);
            file.patterns.push_back(std::move(p));
        } else if (t.text == "Option") {
            const std::string category = expectString(tok, "the option name after Option").text;
            std::vector<ParamAssignment> params = parseParams(tok);
            for (ParamAssignment& a : params) {
                if (category == "user") {
                    file.userOptions.push_back(std::move(a));
                } else if (category == "searchpath" && a.name == "rixplugin") {
                    if (a.type != "string" || a.strings.size() != 1)
                        throw Error(a.origin + ": expected \"string rixplugin\" [\"dir:dir:@\"]");
                    file.pluginSearchPath = a.strings[0];
                } else {
                    file.warnings.push_back(a.origin + ": option \"" + category + "\" \"" + a.name +
                                            "\" does not apply here and is ignored");
                }
            }
        } else {
            tok.fail(t, "unknown statement '" + t.text + "' (expected Pattern or Option)");
        }
    }
    return file;
}

NetworkFile readNetworkFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(path + ": cannot read the network file (" + std::strerror(errno) + ")");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw Error(path + ": cannot read the network file");
    return parseNetworkText(text.str(), path);
}

std::vector<std::string> pluginSearchPath(const NetworkFile& file,
                                          const std::vector<std::string>& defaults) {
    if (!file.pluginSearchPath) return defaults;
    namespace fs = std::filesystem;
    const fs::path base = fs::path(file.path).parent_path();
    std::vector<std::string> path;
    std::string list = *file.pluginSearchPath;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::string dir = list.substr(start, end - start);
        if (dir == "@")
            path.insert(path.end(), defaults.begin(), defaults.end());
        else if (!dir.empty())
            path.push_back(fs::path(dir).is_absolute() ? dir : (base / dir).string());
        start = end + 1;
    }
    return path;
}

void applyUserOptions(const NetworkFile& file, RenderState& state) {
    for (const ParamAssignment& a : file.userOptions) {
        const std::string name = "user:" + a.name;
        const std::size_t count = a.numbers.size() + a.strings.size();
        if (count != 1 || a.reference || a.arraySize >= 0)
            throw Error(a.origin + ": expected one value for user option '" + a.name + "'");
        if (a.type == "int" && a.numbers.size() == 1 &&
            a.numbers[0] == static_cast<int>(a.numbers[0]))
            state.setInt(name, static_cast<int>(a.numbers[0]));
        else if (a.type == "float" && a.numbers.size() == 1)
            state.setFloat(name, static_cast<float>(a.numbers[0]));
        else if (a.type == "string" && a.strings.size() == 1)
            state.setString(name, a.strings[0]);
        else
            throw Error(a.origin + ": user option '" + a.name + "' expects one " + a.type +
                        " value");
    }
}

void buildNetwork(const NetworkFile& file, Network& network) {
    for (const PatternStatement& p : file.patterns)
        network.addNode(p.type, p.handle, p.params, p.origin);
    try {
        network.finalize();
    } catch (const Error& e) {
        const std::string what = e.what();
        // Connection errors carry their place already; a cycle belongs to the whole file.
        if (what.rfind(file.path + ":", 0) == 0) throw;
        throw Error(file.path + ": " + what);
    }
}

}  // namespace tessera::host
