#include "output/expression.h"

#include "output/data_source.h"

#include <algorithm>
#include <cmath>

namespace report {

ReportError::ReportError(const QString &message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{}

int Symbols::fieldSlot(const QString &name)
{
    // The query's name before the dot only says whose field it is; a layout has one query.
    const QString field = name.section(QLatin1Char('.'), -1).toLower();
    const qsizetype at = m_fields.indexOf(field);
    if (at >= 0)
        return int(at);
    m_fields.append(field);
    return int(m_fields.size() - 1);
}

enum class Op {
    Number,
    Text,
    Field,
    PageNumber,
    Negate,
    Not,
    Add,
    Subtract,
    Multiply,
    Divide,
    Equal,
    NotEqual,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
    And,
    Or,
    If,
    Str,
    Sum,
};

struct Node
{
    Op op = Op::Number;
    Value constant;
    int slot = -1; // field slot or sum slot
    // A sum of quotients by one constant divisor: the dividends are added, the sum divided once.
    bool dividesOnce = false;
    std::vector<std::unique_ptr<Node>> args;
};

namespace {

Value evaluateNode(const Node &node, const Scope &scope);

// Nothing in it changes from row to row: no field, page number or sum.
bool isConstant(const Node &node)
{
    if (node.op == Op::Field || node.op == Op::PageNumber || node.op == Op::Sum)
        return false;
    return std::all_of(node.args.begin(), node.args.end(),
                       [](const std::unique_ptr<Node> &arg) { return isConstant(*arg); });
}

// sum(x / 1.2) is the exact quotient of sum(x): each line's quotient, rounded at the twelfth
// place, would add up to just under a half kopeck that the exact total reaches. A zero divisor
// keeps the sum of nothing it had.
bool dividesOnce(const Node &argument)
{
    if (argument.op != Op::Divide || !isConstant(*argument.args[1]))
        return false;
    const Value divisor = evaluateNode(*argument.args[1], Scope{});
    return !divisor.isInvalid() && !divisor.isText() && !divisor.toDecimal().isZero();
}

using NodePtr = std::unique_ptr<Node>;

NodePtr makeNode(Op op)
{
    auto node = std::make_unique<Node>();
    node->op = op;
    return node;
}

struct Token
{
    enum Kind { End, Number, Text, Name, Symbol } kind = End;
    QString text;
    double number = 0;
    qsizetype position = 0;
};

class Parser
{
public:
    Parser(const QString &text, Symbols &symbols, QVector<const Node *> &sums)
        : m_text(text)
        , m_symbols(symbols)
        , m_sums(sums)
    {
        advance();
    }

    NodePtr parseAll()
    {
        NodePtr root = parseOr();
        if (m_token.kind != Token::End)
            fail(QStringLiteral("лишний текст \"%1\"").arg(m_token.text));
        return root;
    }

private:
    // Every parenthesis, argument and prefix operator descends one level; a text nested deeper
    // than any layout writes is refused before the descent exhausts the stack.
    class Descent
    {
    public:
        explicit Descent(Parser &parser)
            : m_parser(parser)
        {
            if (m_parser.m_depth >= kMaxDepth)
                m_parser.fail(QStringLiteral("выражение вложено слишком глубоко"));
            ++m_parser.m_depth;
        }
        ~Descent() { --m_parser.m_depth; }
        Descent(const Descent &) = delete;
        Descent &operator=(const Descent &) = delete;

    private:
        Parser &m_parser;
    };
    static constexpr int kMaxDepth = 200;
    static constexpr int kMaxOperators = 1000;

    [[noreturn]] void fail(const QString &what) const
    {
        // One arg() call: a "%2" in the expression's own text must not take the position's place.
        throw ReportError(QStringLiteral("Ошибка в выражении отчета \"%1\" (позиция %2): %3")
                              .arg(m_text, QString::number(m_token.position + 1), what));
    }

    void advance()
    {
        const qsizetype n = m_text.size();
        while (m_pos < n && m_text.at(m_pos).isSpace())
            ++m_pos;
        m_token = Token();
        m_token.position = m_pos;
        if (m_pos >= n)
            return;
        const QChar c = m_text.at(m_pos);
        if (c.isDigit() ||
            (c == QLatin1Char('.') && m_pos + 1 < n && m_text.at(m_pos + 1).isDigit())) {
            const qsizetype start = m_pos;
            while (m_pos < n &&
                   (m_text.at(m_pos).isDigit() || m_text.at(m_pos) == QLatin1Char('.')))
                ++m_pos;
            m_token.kind = Token::Number;
            m_token.text = m_text.mid(start, m_pos - start);
            bool ok = false;
            m_token.number = m_token.text.toDouble(&ok);
            if (!ok)
                fail(QStringLiteral("неверное число \"%1\"").arg(m_token.text));
            return;
        }
        if (c == QLatin1Char('\'')) {
            QString value;
            ++m_pos;
            for (;;) {
                if (m_pos >= n)
                    fail(QStringLiteral("текст не закрыт кавычкой"));
                const QChar t = m_text.at(m_pos++);
                if (t == QLatin1Char('\'')) {
                    if (m_pos < n && m_text.at(m_pos) == QLatin1Char('\'')) {
                        value.append(t);
                        ++m_pos;
                        continue;
                    }
                    break;
                }
                value.append(t);
            }
            m_token.kind = Token::Text;
            m_token.text = value;
            return;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype start = m_pos;
            while (m_pos < n &&
                   (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == QLatin1Char('_') ||
                    m_text.at(m_pos) == QLatin1Char('.')))
                ++m_pos;
            m_token.kind = Token::Name;
            m_token.text = m_text.mid(start, m_pos - start);
            return;
        }
        static const QStringList twoChar = {QStringLiteral("<>"), QStringLiteral("<="),
                                            QStringLiteral(">=")};
        const QString two = m_text.mid(m_pos, 2);
        m_token.kind = Token::Symbol;
        if (twoChar.contains(two)) {
            m_token.text = two;
            m_pos += 2;
            return;
        }
        if (QStringLiteral("+-*/()=<>,").contains(c)) {
            m_token.text = c;
            ++m_pos;
            return;
        }
        fail(QStringLiteral("непонятный знак \"%1\"").arg(c));
    }

    bool isSymbol(const char *symbol) const
    {
        return m_token.kind == Token::Symbol && m_token.text == QLatin1String(symbol);
    }
    bool isWord(const char *word) const
    {
        return m_token.kind == Token::Name &&
               m_token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    void expect(const char *symbol)
    {
        if (!isSymbol(symbol))
            fail(m_token.kind == Token::End
                     ? QStringLiteral("ожидается \"%1\"").arg(QLatin1String(symbol))
                     : QStringLiteral("ожидается \"%1\" вместо \"%2\"")
                           .arg(QLatin1String(symbol), m_token.text));
        advance();
    }

    // A chain of operators nests its nodes as deep as it is long; evaluating and freeing them
    // descends as deep, so a chain far longer than any layout writes is refused.
    NodePtr binary(Op op, NodePtr left, NodePtr right)
    {
        if (++m_operators > kMaxOperators)
            fail(QStringLiteral("выражение слишком длинное"));
        NodePtr node = makeNode(op);
        node->args.push_back(std::move(left));
        node->args.push_back(std::move(right));
        return node;
    }

    NodePtr parseOr()
    {
        NodePtr left = parseAnd();
        while (isWord("or")) {
            advance();
            left = binary(Op::Or, std::move(left), parseAnd());
        }
        return left;
    }

    NodePtr parseAnd()
    {
        NodePtr left = parseNot();
        while (isWord("and")) {
            advance();
            left = binary(Op::And, std::move(left), parseNot());
        }
        return left;
    }

    NodePtr parseNot()
    {
        const Descent descent(*this);
        if (isWord("not")) {
            advance();
            NodePtr node = makeNode(Op::Not);
            node->args.push_back(parseNot());
            return node;
        }
        return parseComparison();
    }

    NodePtr parseComparison()
    {
        NodePtr left = parseAdditive();
        static const struct
        {
            const char *symbol;
            Op op;
        } comparisons[] = {{"=", Op::Equal},   {"<>", Op::NotEqual},  {"<", Op::Less},
                           {">", Op::Greater}, {"<=", Op::LessEqual}, {">=", Op::GreaterEqual}};
        for (const auto &comparison : comparisons) {
            if (isSymbol(comparison.symbol)) {
                advance();
                return binary(comparison.op, std::move(left), parseAdditive());
            }
        }
        return left;
    }

    NodePtr parseAdditive()
    {
        NodePtr left = parseTerm();
        for (;;) {
            if (isSymbol("+")) {
                advance();
                left = binary(Op::Add, std::move(left), parseTerm());
            } else if (isSymbol("-")) {
                advance();
                left = binary(Op::Subtract, std::move(left), parseTerm());
            } else {
                return left;
            }
        }
    }

    NodePtr parseTerm()
    {
        NodePtr left = parseUnary();
        for (;;) {
            if (isSymbol("*")) {
                advance();
                left = binary(Op::Multiply, std::move(left), parseUnary());
            } else if (isSymbol("/")) {
                advance();
                left = binary(Op::Divide, std::move(left), parseUnary());
            } else {
                return left;
            }
        }
    }

    NodePtr parseUnary()
    {
        const Descent descent(*this);
        if (isSymbol("-")) {
            advance();
            NodePtr node = makeNode(Op::Negate);
            node->args.push_back(parseUnary());
            return node;
        }
        if (isSymbol("+")) {
            advance();
            return parseUnary();
        }
        return parsePrimary();
    }

    std::vector<NodePtr> parseArguments(const QString &function, size_t count)
    {
        std::vector<NodePtr> args;
        expect("(");
        if (!isSymbol(")")) {
            args.push_back(parseOr());
            while (isSymbol(",")) {
                advance();
                args.push_back(parseOr());
            }
        }
        expect(")");
        if (args.size() != count)
            fail(QStringLiteral("%1 ждет %2 аргумент(а)").arg(function.toUpper()).arg(count));
        return args;
    }

    NodePtr parsePrimary()
    {
        switch (m_token.kind) {
        case Token::Number: {
            NodePtr node = makeNode(Op::Number);
            node->constant = Value::number(m_token.number);
            advance();
            return node;
        }
        case Token::Text: {
            NodePtr node = makeNode(Op::Text);
            node->constant = Value::text(m_token.text);
            advance();
            return node;
        }
        case Token::Name:
            return parseName();
        case Token::Symbol:
            if (isSymbol("(")) {
                advance();
                NodePtr inner = parseOr();
                expect(")");
                return inner;
            }
            fail(QStringLiteral("неожиданный знак \"%1\"").arg(m_token.text));
        case Token::End:
            break;
        }
        fail(QStringLiteral("выражение оборвано"));
    }

    NodePtr parseName()
    {
        const QString name = m_token.text;
        const QString lower = name.toLower();
        advance();
        const bool call = isSymbol("(");
        if (call && lower == QLatin1String("if")) {
            NodePtr node = makeNode(Op::If);
            node->args = parseArguments(name, 3);
            return node;
        }
        if (call && lower == QLatin1String("str")) {
            NodePtr node = makeNode(Op::Str);
            node->args = parseArguments(name, 1);
            return node;
        }
        if (call && lower == QLatin1String("sum")) {
            NodePtr node = makeNode(Op::Sum);
            node->args = parseArguments(name, 1);
            node->dividesOnce = dividesOnce(*node->args[0]);
            node->slot = m_symbols.newSum();
            m_sums.append(node.get());
            return node;
        }
        if (call)
            fail(QStringLiteral("неизвестная функция \"%1\"").arg(name));
        if (lower == QLatin1String("pagenumber"))
            return makeNode(Op::PageNumber);
        if (name.endsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('.')))
            fail(QStringLiteral("неверное имя поля \"%1\"").arg(name));
        NodePtr node = makeNode(Op::Field);
        node->slot = m_symbols.fieldSlot(name);
        return node;
    }

    const QString &m_text;
    Symbols &m_symbols;
    QVector<const Node *> &m_sums;
    qsizetype m_pos = 0;
    Token m_token;
    int m_depth = 0;
    int m_operators = 0;
};

Value evaluateNode(const Node &node, const Scope &scope);

Value arithmetic(Op op, const Value &a, const Value &b)
{
    if (a.isInvalid() || b.isInvalid())
        return Value::invalid();
    if (op == Op::Add && (a.isText() || b.isText()))
        return Value::text(a.toText() + b.toText());
    const Decimal x = a.toDecimal();
    const Decimal y = b.toDecimal();
    switch (op) {
    case Op::Add:
        return Value::number(x + y);
    case Op::Subtract:
        return Value::number(x - y);
    case Op::Multiply:
        return Value::number(x * y);
    case Op::Divide:
        // A worker without hours has no price per hour: the field stays empty.
        if (y.isZero())
            return Value::invalid();
        return Value::number(x / y);
    default:
        break;
    }
    return Value::invalid();
}

Value comparison(Op op, const Value &a, const Value &b)
{
    if (a.isInvalid() || b.isInvalid())
        return Value::invalid();
    int order = 0;
    if (a.isText() && b.isText()) {
        order = QString::compare(a.toText(), b.toText(), Qt::CaseSensitive);
    } else if ((a.isText() && b.isEmpty()) || (a.isEmpty() && b.isText())) {
        order = QString::compare(a.toText(), b.toText(), Qt::CaseSensitive);
    } else {
        order = compare(a.toDecimal(), b.toDecimal());
    }
    switch (op) {
    case Op::Equal:
        return Value::boolean(order == 0);
    case Op::NotEqual:
        return Value::boolean(order != 0);
    case Op::Less:
        return Value::boolean(order < 0);
    case Op::Greater:
        return Value::boolean(order > 0);
    case Op::LessEqual:
        return Value::boolean(order <= 0);
    case Op::GreaterEqual:
        return Value::boolean(order >= 0);
    default:
        break;
    }
    return Value::invalid();
}

Value evaluateNode(const Node &node, const Scope &scope)
{
    switch (node.op) {
    case Op::Number:
    case Op::Text:
        return node.constant;
    case Op::Field: {
        if (!scope.source || !scope.columns || scope.row < 0)
            return Value();
        return Value::fromVariant(scope.source->value(scope.row, scope.columns->at(node.slot)));
    }
    case Op::PageNumber:
        return Value::number(Decimal::fromInteger(scope.page));
    case Op::Negate: {
        const Value v = evaluateNode(*node.args[0], scope);
        return v.isInvalid() ? v : Value::number(-v.toDecimal());
    }
    case Op::Not: {
        const Value v = evaluateNode(*node.args[0], scope);
        return v.isInvalid() ? v : Value::boolean(!v.toBool());
    }
    case Op::Add:
    case Op::Subtract:
    case Op::Multiply:
    case Op::Divide:
        return arithmetic(node.op, evaluateNode(*node.args[0], scope),
                          evaluateNode(*node.args[1], scope));
    case Op::Equal:
    case Op::NotEqual:
    case Op::Less:
    case Op::Greater:
    case Op::LessEqual:
    case Op::GreaterEqual:
        return comparison(node.op, evaluateNode(*node.args[0], scope),
                          evaluateNode(*node.args[1], scope));
    case Op::And: {
        const Value a = evaluateNode(*node.args[0], scope);
        if (!a.toBool())
            return Value::boolean(false);
        return Value::boolean(evaluateNode(*node.args[1], scope).toBool());
    }
    case Op::Or: {
        const Value a = evaluateNode(*node.args[0], scope);
        if (a.toBool())
            return Value::boolean(true);
        return Value::boolean(evaluateNode(*node.args[1], scope).toBool());
    }
    case Op::If:
        return evaluateNode(*node.args[evaluateNode(*node.args[0], scope).toBool() ? 1 : 2], scope);
    case Op::Str: {
        const Value v = evaluateNode(*node.args[0], scope);
        return v.isInvalid() ? v : Value::text(v.toText());
    }
    case Op::Sum: {
        const Decimal sum =
            !scope.sums || node.slot >= scope.sums->size() ? Decimal() : scope.sums->at(node.slot);
        if (node.dividesOnce)
            return arithmetic(Op::Divide, Value::number(sum),
                              evaluateNode(*node.args[0]->args[1], scope));
        return Value::number(sum);
    }
    }
    return Value::invalid();
}

} // namespace

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(const Expression &) = default;
Expression &Expression::operator=(const Expression &) = default;
Expression::Expression(Expression &&) noexcept = default;
Expression &Expression::operator=(Expression &&) noexcept = default;

Expression Expression::parse(const QString &text, Symbols &symbols)
{
    Expression expression;
    expression.m_text = text;
    Parser parser(text, symbols, expression.m_sums);
    expression.m_root = parser.parseAll();
    for (const Node *sum : std::as_const(expression.m_sums))
        expression.m_sumSlots.append(sum->slot);
    return expression;
}

Value Expression::evaluate(const Scope &scope) const
{
    return m_root ? evaluateNode(*m_root, scope) : Value();
}

void Expression::accumulate(const Scope &scope) const
{
    if (!scope.sums)
        return;
    for (const Node *sum : m_sums) {
        // What cannot be added (an empty field, a division by zero) adds nothing.
        const Node &added = sum->dividesOnce ? *sum->args[0]->args[0] : *sum->args[0];
        const Value v = evaluateNode(added, scope);
        if (!v.isInvalid() && !v.isEmpty())
            (*scope.sums)[sum->slot] += v.toDecimal();
    }
}

} // namespace report
