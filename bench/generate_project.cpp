// quirelle_generate: makes a large project file for the benchmarks. Every table is filled, through
// the engine as the program itself writes, with a repeatable set of papers, people, links and
// logs, around a few probe records whose counts are known in advance (see benchcommon.h).
#include "benchcommon.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/schema.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <unordered_set>
#include <utility>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// clang-format off
const char* const Surnames[] = {
    "Smith", "Jones", "Taylor", "Brown", "Williams", "Wilson", "Johnson", "Davies", "Robinson",
    "Wright", "Thompson", "Evans", "Walker", "White", "Roberts", "Green", "Hall", "Wood",
    "Jackson", "Clarke", "Patel", "Khan", "Lewis", "James", "Phillips", "Mason", "Mitchell",
    "Rodríguez", "García", "Martínez", "López", "Hernández", "González", "Pérez", "Sánchez",
    "Müller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer", "Wagner", "Becker", "Schäfer",
    "Koch", "Bauer", "Richter", "Klein", "Schröder", "Neumann", "Zimmermann", "Krüger",
    "Hoffmann", "Dubois", "Durand", "Lefèvre", "Moreau", "Laurent", "Lemaître", "Girard",
    "Bonnet", "Rossi", "Russo", "Ferrari", "Esposito", "Bianchi", "Romano", "Colombo", "O'Brien",
    "O'Connor", "O'Neill", "D'Arcy", "McCarthy", "MacDonald", "Nakamura", "Tanaka", "Suzuki",
    "Kim", "Lee", "Park", "Chen", "Wang", "Li", "Zhang", "Liu", "Novák", "Dvořák", "Nowak",
    "Kowalski", "Wiśniewski", "Łukasiewicz", "Ødegaard", "Sørensen", "Jørgensen", "Andersson",
    "Johansson", "Nyström", "Åström", "Virtanen", "Korhonen", "Papadopoulos", "Yılmaz", "Öztürk",
    "Ivanov", "Petrov", "Silva", "Santos", "Oliveira", "Gonçalves", "Núñez", "van Dijk",
    "de Vries", "Okafor", "Mensah", "Haddad", "Cohen", "Friedman", "Ó Súilleabháin"};

const char* const Forenames[] = {
    "Émile", "Zoë", "Søren", "José", "Chloé", "François", "Jürgen", "Björn", "Ana", "María",
    "Siobhán", "Seán", "Inès", "Anaïs", "Jérôme", "Hélène", "Ólafur", "Łukasz", "Renée", "Noël",
    "James", "Mary", "John", "Patricia", "Robert", "Jennifer", "Michael", "Linda", "David",
    "Elizabeth", "William", "Barbara", "Richard", "Susan", "Thomas", "Sarah", "Daniel", "Karen",
    "Paul", "Nancy", "Mark", "Lisa", "Peter", "Helen", "Andrew", "Margaret", "Simon", "Catherine",
    "Hiroshi", "Yuki", "Wei", "Mei", "Priya", "Arjun", "Fatima", "Omar", "Ngozi", "Kwame",
    "Ingrid", "Lars", "Katarzyna", "Piotr", "Giulia", "Marco", "Sofia", "Mateo", "Lucía", "Kenji",
    "Aiko", "Niamh", "Eoin", "Astrid", "Dmitri", "Olga", "Tomás", "Beatriz", "Kofi", "Amara"};

const char* const Initials[] = {"A.", "B.", "C.", "D.", "E.", "F.", "G.", "H.", "J.", "K.", "L.",
                                "M.", "N.", "P.", "R.", "S.", "T.", "W."};

const char* const Occupations[] = {
    "Professor", "Senior Lecturer", "Lecturer", "Research Fellow", "Postdoctoral Researcher",
    "PhD Student", "Consultant", "Analyst", "Independent Scholar", "Journalist", "Civil Servant",
    "Director of Research", "Engineer", "Librarian", "Policy Adviser", "Reader",
    "Associate Professor", "Research Scientist", "Editor", "Practitioner", "Chargé de recherche"};

const char* const Institutions[] = {
    "University of Leeds", "Université de Lyon", "Universität München", "ETH Zürich",
    "University of Toronto", "Trinity College Dublin", "Kyoto University",
    "Massachusetts Institute of Technology", "Stanford University",
    "London School of Economics", "Sciences Po", "Universidad de Salamanca",
    "Københavns Universitet", "Uniwersytet Warszawski", "Universidade de São Paulo",
    "National University of Singapore", "University of Cape Town",
    "Australian National University", "Indian Institute of Science", "King's College London",
    "Université Paris-Saclay", "Universitat de Barcelona", "Politecnico di Milano",
    "University of Nairobi", "Seoul National University", "Tsinghua University", "OECD",
    "World Bank", "Bank of England", "Independent"};

const char* const Nouns[] = {
    "Governance", "Innovation", "Knowledge", "Learning", "Trust", "Networks", "Decision Making",
    "Risk", "Uncertainty", "Strategy", "Leadership", "Collaboration", "Measurement", "Adoption",
    "Diffusion", "Capability", "Performance", "Sustainability", "Resilience", "Complexity",
    "Information", "Accountability", "Transparency", "Evaluation", "Change", "Identity", "Power",
    "Culture", "Design", "Value", "Practice", "Institutions", "Markets", "Regulation", "Data",
    "Evidence", "Ethics", "Platforms", "Communities", "Routines", "Legitimacy", "Coordination"};

const char* const Adjectives[] = {
    "Organisational", "Strategic", "Comparative", "Empirical", "Critical", "Dynamic",
    "Institutional", "Digital", "Social", "Cognitive", "Collaborative", "Adaptive", "Emergent",
    "Distributed", "Sustainable", "Participatory", "Longitudinal", "Qualitative", "Quantitative",
    "Systemic", "Informal", "Hybrid", "Global", "Regional", "Public", "Private", "Open"};

const char* const Domains[] = {
    "Higher Education", "Public Services", "Small Firms", "Healthcare", "Local Government",
    "the Financial Sector", "Manufacturing", "the Creative Industries", "Software Development",
    "Non-Profit Organisations", "Supply Chains", "Energy Markets", "Urban Planning",
    "Agriculture", "Journalism", "Professional Services", "Start-ups", "Multinational Firms"};

const char* const Places[] = {
    "Scandinavia", "Japan", "Brazil", "the United Kingdom", "Québec", "Bavaria", "South Africa",
    "India", "Chile", "the Nordic Countries", "São Paulo", "Île-de-France", "Kraków", "Ireland"};

const char* const Gerunds[] = {
    "Rethinking", "Measuring", "Mapping", "Understanding", "Managing", "Governing", "Explaining",
    "Designing", "Evaluating", "Reconsidering", "Building", "Sustaining"};

const char* const Groups[] = {"Managers'", "Employees'", "Practitioners'", "Students'",
                              "Citizens'", "Users'", "Clinicians'", "Teachers'"};

const char* const KeywordSuffixes[] = {"management", "theory", "policy", "analysis", "systems",
                                       "metrics", "models", "capacity", "gap", "paradox"};

const char* const Disciplines[] = {
    "Sociology", "Management science", "Economics", "Psychology", "Information systems",
    "Political science", "Anthropology", "Operations research", "Philosophy", "Law"};

const char* const Spheres[] = {
    "Strategy", "Operations", "Marketing", "Information Systems", "Human Resources",
    "Public Policy", "Economics", "Psychology", "Knowledge Management", "Finance"};

const char* const ModelShapes[] = {"Model", "Framework", "Matrix", "Cycle", "Canvas", "Ladder",
                                   "Pyramid", "Maturity Model", "Typology"};

const char* const PublicationTypes[] = {"Book", "Business White Paper", "News Article",
                                        "Professional Journal", "University White Paper",
                                        "Website"};

const char* const Publishers[] = {
    "Oxford University Press", "Cambridge University Press", "Routledge", "Sage",
    "Palgrave Macmillan", "Éditions du Seuil", "Springer", "MIT Press", "Edward Elgar",
    "Presses Universitaires de France", "Wiley"};

const char* const Newspapers[] = {"The Guardian", "Financial Times", "Le Monde", "Die Zeit",
                                  "The Economist", "New York Times", "El País", "The Irish Times",
                                  "Süddeutsche Zeitung", "Corriere della Sera"};

const char* const Firms[] = {"Deloitte", "Gartner", "KPMG", "Accenture", "PwC", "Capgemini",
                             "Arthur D. Little", "Forrester"};

const char* const Statuses[] = {"Read", "Unread", "To read", "Reading", "Skimmed",
                                "Summarised", "Key paper", ""};

const char* const Ratings[] = {"A", "B", "C", "D"};

const char* const Rooms[] = {"Room 2.14", "Library", "Café Müller", "Video call",
                             "Supervisor's office", "Seminar room B", "Department lounge",
                             "Staff club"};

const char* const MeetingSubjects[] = {
    "Progress review", "Chapter 2 draft", "Literature review scope", "Ethics application",
    "Data collection plan", "Conference abstract", "Upgrade panel preparation", "Methods",
    "Interview schedule", "Analysis of pilot data", "Writing-up timetable", "Viva preparation"};

const char* const HourSubjects[] = {
    "Literature search", "Reading", "Writing chapter 1", "Writing chapter 2",
    "Writing chapter 3", "Supervision meeting", "Data analysis", "Interviews", "Transcription",
    "Ethics application", "Conference preparation", "Reference checking", "Coding",
    "Editing", "Admin", "Seminar", "Teaching", "Survey design", "Fieldwork", "Proof-reading"};

const char* const Hours[] = {"0.25", "0.5", "0.75", "1", "1.5", "2", "2.5", "3", "3.5", "4",
                             "5", "6", "7.5", "8"};
// clang-format on

// Shortens text to at most `max` characters, at a word boundary when there is one.
QString fit(const QString& s, int max)
{
    if (s.size() <= max)
        return s;
    QString cut = s.left(max);
    const int space = static_cast<int>(cut.lastIndexOf(QLatin1Char(' ')));
    if (space > max / 2)
        cut.truncate(space);
    while (!cut.isEmpty() && QStringLiteral(" ,:;-").contains(cut.back()))
        cut.chop(1);
    return cut;
}

QString capitalised(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

QString article(const QString& next, bool capital)
{
    const bool vowel = !next.isEmpty() && QStringLiteral("AEIOUaeiou").contains(next[0]);
    if (vowel)
        return capital ? QStringLiteral("An") : QStringLiteral("an");
    return capital ? QStringLiteral("A") : QStringLiteral("a");
}

// Puts the parts into %1, %2, ... of the pattern. The parts come as a braced list because its
// items are evaluated in order, unlike function arguments, so the same random words land in
// the same places whichever compiler built the generator.
QString compose(const char* pattern, std::initializer_list<QString> parts)
{
    QString out = QString::fromUtf8(pattern);
    for (const QString& p : parts)
        out = out.arg(p);
    return out;
}

// The texts of every table, from the word lists.
class Writer
{
public:
    explicit Writer(Random& r) : m_r(r) {}

    QString noun() { return u(m_r.pick(Nouns)); }
    QString lowNoun() { return noun().toLower(); }
    QString adjective() { return u(m_r.pick(Adjectives)); }
    QString domain() { return u(m_r.pick(Domains)); }
    QString place() { return u(m_r.pick(Places)); }
    QString gerund() { return u(m_r.pick(Gerunds)); }
    QString surname() { return u(m_r.pick(Surnames)); }
    QString forename() { return u(m_r.pick(Forenames)); }
    QString year(int from = 1960) { return QString::number(m_r.between(from, 2025)); }
    QString number(int low, int high) { return QString::number(m_r.between(low, high)); }

    QString forenames()
    {
        QString f = forename();
        if (m_r.percent(20))
            f += QLatin1Char(' ') + u(m_r.pick(Initials));
        return f;
    }

    QString person()
    {
        const QString f = forename();
        return f + QLatin1Char(' ') + surname();
    }

    QString title(bool rare)
    {
        if (rare) {
            switch (m_r.below(3)) {
            case 0:
                return fit(compose("The Zephyrine %1 in %2", {noun(), domain()}), 100);
            case 1:
                return fit(compose("Zephyrine Effects on %1 %2", {adjective(), noun()}), 100);
            default:
                return fit(compose("%1 the Zephyrine Pattern in %2", {gerund(), place()}), 100);
            }
        }
        QString t;
        switch (m_r.below(10)) {
        case 0:
            t = compose("%1 %2 in %3", {adjective(), noun(), domain()});
            break;
        case 1: {
            const QString a = adjective();
            t = compose("Towards %1 %2 Theory of %3", {article(a, false), a, noun()});
            break;
        }
        case 2:
            t = compose("%1 %2: Evidence from %3", {gerund(), noun(), place()});
            break;
        case 3:
            t = compose("The %1 of %2 %3", {noun(), adjective(), noun()});
            break;
        case 4: {
            const QString a = adjective();
            t = compose("%1 and %2 in %3: %4 %5 Study",
                        {noun(), noun(), domain(), article(a, true), a});
            break;
        }
        case 5:
            t = compose("%1 Perceptions of %2 in %3", {u(m_r.pick(Groups)), noun(), domain()});
            break;
        case 6:
            t = compose("What's Wrong with %1 %2?", {adjective(), noun()});
            break;
        case 7:
            t = compose("%1 %2 %3 in %4", {gerund(), adjective(), noun(), domain()});
            break;
        case 8:
            t = compose("Beyond %1: %2 %3 in %4", {noun(), gerund(), noun(), place()});
            break;
        default: {
            const QString a = adjective();
            t = compose("%1 %2 Approach to %3", {article(a, true), a, noun()});
            break;
        }
        }
        return fit(t, 100);
    }

    QString sentence()
    {
        static const char* const kinds[] = {"paper", "study", "article", "report", "chapter"};
        static const char* const verbs[] = {"examines",  "explores", "reviews",
                                            "questions", "maps",     "measures"};
        switch (m_r.below(6)) {
        case 0:
            return compose("This %1 %2 %3 in %4.",
                           {u(m_r.pick(kinds)), u(m_r.pick(verbs)), lowNoun(), domain()});
        case 1:
            return compose("Drawing on %1 cases, the authors argue that %2 depends on %3 %4.",
                           {number(3, 60), lowNoun(), adjective().toLower(), lowNoun()});
        case 2:
            return compose("Findings suggest that %1 and %2 are closely linked.",
                           {lowNoun(), lowNoun()});
        case 3:
            return compose("It concludes with implications for %1 and an agenda for further "
                           "research.",
                           {domain()});
        case 4:
            return compose("Useful background for the chapter on %1.", {lowNoun()});
        default:
            return compose("Weak on method but strong on %1; compare %2 (%3).",
                           {lowNoun(), surname(), year()});
        }
    }

    QString paragraph(int sentences)
    {
        QStringList out;
        for (int i = 0; i < sentences; ++i)
            out << sentence();
        return out.join(QLatin1Char(' '));
    }

    QString quotation(bool rare)
    {
        QString q;
        if (rare)
            q = compose("The so-called zephyrine pattern ties %1 to %2 in %3.",
                        {lowNoun(), lowNoun(), domain()});
        while (q.size() < 60) {
            if (!q.isEmpty())
                q += QLatin1Char(' ');
            q += quoteSentence();
        }
        return fit(q, 200);
    }

    QString quoteSentence()
    {
        switch (m_r.below(7)) {
        case 0: {
            const QString n = noun();
            const QString a = adjective().toLower();
            return compose("%1 is best understood as %2 %3 process rather than a fixed outcome.",
                           {n, article(a, false), a});
        }
        case 1:
            return compose("Without %1, %2 tends to erode over time.", {lowNoun(), lowNoun()});
        case 2:
            return compose("Our evidence suggests that %1 %2 matters more than %3.",
                           {adjective().toLower(), lowNoun(), lowNoun()});
        case 3:
            return compose("The link between %1 and %2 is weaker than commonly assumed.",
                           {lowNoun(), lowNoun()});
        case 4:
            return compose("Organisations that invest in %1 report higher %2.",
                           {lowNoun(), lowNoun()});
        case 5:
            return compose("It's the interplay of %1 and %2 that explains the outcome.",
                           {lowNoun(), lowNoun()});
        default:
            return compose("As one manager in %1 put it, \"nobody owns the %2\".",
                           {place(), lowNoun()});
        }
    }

    // The publication type and name.
    std::pair<QString, QString> publication()
    {
        const QString type = u(m_r.pick(PublicationTypes));
        QString name;
        if (type == QLatin1String("Book")) {
            name = u(m_r.pick(Publishers));
        } else if (type == QLatin1String("News Article")) {
            name = u(m_r.pick(Newspapers));
        } else if (type == QLatin1String("Professional Journal")) {
            name = m_r.percent(50)
                       ? compose("Journal of %1 Studies", {noun()})
                       : compose("International Journal of %1 and %2", {noun(), noun()});
        } else if (type == QLatin1String("Business White Paper")) {
            name = compose("%1 Insights: %2", {u(m_r.pick(Firms)), noun()});
        } else if (type == QLatin1String("University White Paper")) {
            name = compose("%1 Working Paper Series", {u(m_r.pick(Institutions))});
        } else {
            name = compose("www.%1-%2.org", {lowNoun(), lowNoun()}).remove(QLatin1Char(' '));
        }
        return {type, fit(name, 255)};
    }

    QString keyword()
    {
        QString k;
        switch (m_r.below(4)) {
        case 0:
            k = compose("%1 %2", {adjective(), noun()});
            break;
        case 1:
            k = compose("%1 %2", {noun(), u(m_r.pick(KeywordSuffixes))});
            break;
        case 2:
            k = compose("%1 %2 %3", {adjective(), noun(), u(m_r.pick(KeywordSuffixes))});
            break;
        default:
            k = compose("%1 and %2", {noun(), noun()});
            break;
        }
        return capitalised(k.toLower());
    }

    QString origin()
    {
        if (m_r.percent(50))
            return compose("%1 (%2)", {surname(), year()});
        return u(m_r.pick(Disciplines));
    }

    QString modelName()
    {
        const QString shape = u(m_r.pick(ModelShapes));
        switch (m_r.below(4)) {
        case 0:
            return fit(compose("%1's %2 %3", {surname(), noun(), shape}), 100);
        case 1:
            return fit(compose("The %1 %2 %3", {adjective(), noun(), shape}), 100);
        case 2:
            return fit(compose("%1-%2 %3", {noun(), noun(), shape}), 100);
        default:
            return fit(compose("%1 %2 of %3", {noun(), shape, domain()}), 100);
        }
    }

    QString present()
    {
        QStringList names;
        const int n = m_r.between(1, 4);
        for (int i = 0; i < n; ++i)
            names << forename();
        if (m_r.percent(30))
            names << QStringLiteral("Dr ") + surname();
        return fit(names.join(QStringLiteral(", ")), 50);
    }

    QString outcome()
    {
        QStringList out;
        const int n = m_r.between(1, 3);
        for (int i = 0; i < n; ++i) {
            switch (m_r.below(4)) {
            case 0:
                out << compose("Agreed to redraft the section on %1.", {lowNoun()});
                break;
            case 1:
                out << compose("Read %1 (%2) before next time.", {surname(), year()});
                break;
            case 2:
                out << compose("Supervisor happy with the %1 chapter; %2 still to do.",
                               {lowNoun(), lowNoun()});
                break;
            default:
                out << compose("Next meeting in %1 weeks.", {number(1, 6)});
                break;
            }
        }
        return out.join(QLatin1Char(' '));
    }

    QString date()
    {
        const int day = m_r.between(1, 28);
        const int month = m_r.between(1, 12);
        const int yy = m_r.between(18, 26);
        return QString::asprintf("%02d/%02d/%02d", day, month, yy);
    }

    QString time()
    {
        const int hour = m_r.between(8, 18);
        const int minute = 15 * m_r.below(4);
        return QString::asprintf("%02d:%02d", hour, minute);
    }

private:
    Random& m_r;
};

QString paperText(int id)
{
    return QString::number(id);
}

QVariant longValue(int id)
{
    return QVariant::fromValue(static_cast<qint32>(id));
}

class Generator
{
public:
    Generator(db::Database& database, const Counts& counts)
        : m_db(database), m_n(counts), m_random(GeneratorSeed), m_w(m_random)
    {}

    void run()
    {
        pickRarePapers();
        authors();
        keywords();
        models();
        papers();
        authorLinks();
        keywordLinks();
        references();
        quotations();
        meetings();
        hours();
        master();
    }

private:
    using Fill = std::function<void(db::Recordset&, int)>;

    // Adds `rows` rows to the table in one transaction, `fill` putting the values of each.
    void table(const char* name, int rows, const Fill& fill)
    {
        QElapsedTimer timer;
        timer.start();
        db::Transaction transaction(m_db);
        db::Recordset rs = m_db.OpenRecordset(QStringLiteral("select * from [%1];").arg(u(name)));
        for (int i = 0; i < rows; ++i) {
            rs.AddNew();
            fill(rs, i);
            rs.Update();
        }
        transaction.commit();
        const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
        std::printf("  %-24s %8d rows %8.2f s %10.0f rows/s\n", name, rows, seconds,
                    seconds > 0 ? rows / seconds : 0.0);
        std::fflush(stdout);
    }

    bool isProbePaper(int id) const { return id == probe::Paper || id == probe::EmptyPaper; }

    int randomPaper()
    {
        int id;
        do
            id = m_random.between(1, m_n.papers);
        while (isProbePaper(id));
        return id;
    }

    int randomAuthor()
    {
        int id;
        do
            id = m_random.between(1, m_n.authors);
        while (id == probe::Author);
        return id;
    }

    int randomKeyword()
    {
        int id;
        do
            id = m_random.between(1, m_n.keywords);
        while (id == probe::Keyword || id == probe::RareKeyword);
        return id;
    }

    // `count` distinct values from `draw`, none of them already in `taken`.
    template<typename Draw>
    std::vector<int> distinct(int count, Draw draw, std::unordered_set<int> taken = {})
    {
        std::vector<int> out;
        while (static_cast<int>(out.size()) < count) {
            const int v = draw();
            if (taken.insert(v).second)
                out.push_back(v);
        }
        return out;
    }

    static quint64 pairKey(int a, int b)
    {
        return (static_cast<quint64>(static_cast<quint32>(a)) << 32) | static_cast<quint32>(b);
    }

    // Links (paper, other) made of the probes' links and then random distinct ones up to `total`.
    template<typename Draw>
    static void fillLinks(std::vector<std::pair<int, int>>& links, int total, Draw draw)
    {
        std::unordered_set<quint64> seen;
        for (const auto& [a, b] : links)
            seen.insert(pairKey(a, b));
        while (static_cast<int>(links.size()) < total) {
            const std::pair<int, int> link = draw();
            if (seen.insert(pairKey(link.first, link.second)).second)
                links.push_back(link);
        }
    }

    void pickRarePapers()
    {
        for (int id : distinct(probe::RareTitles, [this] { return randomPaper(); }))
            m_rareTitles.insert(id);
    }

    void authors()
    {
        table("Authors", m_n.authors, [this](db::Recordset& rs, int) {
            rs[QStringLiteral("Surname")] = m_w.surname();
            rs[QStringLiteral("Forenames")] = m_w.forenames();
            if (m_random.percent(85))
                rs[QStringLiteral("Occupation")] = u(m_random.pick(Occupations));
            if (m_random.percent(90))
                rs[QStringLiteral("Location")] = u(m_random.pick(Institutions));
        });
    }

    void keywords()
    {
        QSet<QString> used;
        const QString rare = QStringLiteral("Zephyrine drift");
        used.insert(rare.toLower());
        m_keywords.clear();
        for (int id = 1; id <= m_n.keywords; ++id) {
            if (id == probe::RareKeyword) {
                m_keywords.push_back(rare);
                continue;
            }
            QString k;
            for (int attempt = 0;; ++attempt) {
                k = m_w.keyword();
                // Once the combinations run short, a number keeps the keywords apart.
                if (attempt > 50)
                    k = fit(k, 24) + QLatin1Char(' ') + QString::number(id);
                if (k.size() <= 30 && !used.contains(k.toLower())) {
                    used.insert(k.toLower());
                    break;
                }
            }
            m_keywords.push_back(k);
        }
        table("Keywords", m_n.keywords, [this](db::Recordset& rs, int i) {
            const QString& k = m_keywords[static_cast<size_t>(i)];
            rs[QStringLiteral("Keyword")] = k;
            rs[QStringLiteral("Definition")] =
                k + QStringLiteral(": ") + m_w.paragraph(m_random.between(1, 3));
            if (m_random.percent(80))
                rs[QStringLiteral("Origin")] = m_w.origin();
        });
    }

    void models()
    {
        table("Models", m_n.models, [this](db::Recordset& rs, int) {
            rs[QStringLiteral("Model")] = m_w.modelName();
            rs[QStringLiteral("Creator")] = fit(m_w.person(), 40);
            rs[QStringLiteral("Year")] = m_w.year(1950);
            rs[QStringLiteral("Sphere")] = u(m_random.pick(Spheres));
            rs[QStringLiteral("Details")] = m_w.paragraph(m_random.between(2, 5));
        });
    }

    void papers()
    {
        table("Papers", m_n.papers, [this](db::Recordset& rs, int i) {
            const int id = i + 1; // numbered in the order added, from 1
            rs[QStringLiteral("Title")] = m_w.title(m_rareTitles.count(id) > 0);
            rs[QStringLiteral("Year")] = m_w.year();
            rs[QStringLiteral("Summary")] = m_w.paragraph(m_random.between(1, 5));
            rs[QStringLiteral("Status")] = u(m_random.pick(Statuses));
            rs[QStringLiteral("Rating")] = u(m_random.pick(Ratings));
            const auto [type, name] = m_w.publication();
            rs[QStringLiteral("Publication Type")] = type;
            rs[QStringLiteral("Publication name")] = name;
        });
    }

    void authorLinks()
    {
        std::vector<std::pair<int, int>> links;
        for (int a : distinct(probe::PaperAuthors, [this] { return randomAuthor(); }))
            links.emplace_back(probe::Paper, a);
        for (int p : distinct(probe::AuthorPapers, [this] { return randomPaper(); }))
            links.emplace_back(p, probe::Author);
        fillLinks(links, m_n.authorLinks, [this] {
            return std::pair<int, int>{randomPaper(), randomAuthor()};
        });
        table("Paper Authors List", m_n.authorLinks, [&links](db::Recordset& rs, int i) {
            const auto& [paper, author] = links[static_cast<size_t>(i)];
            rs[QStringLiteral("Paper ID")] = paperText(paper);
            rs[QStringLiteral("Author ID")] = QString::number(author);
        });
    }

    void keywordLinks()
    {
        std::vector<std::pair<int, int>> links;
        for (int k : distinct(probe::PaperKeywords, [this] { return randomKeyword(); }))
            links.emplace_back(probe::Paper, k);
        for (int p : distinct(probe::KeywordPapers, [this] { return randomPaper(); }))
            links.emplace_back(p, probe::Keyword);
        for (int p : distinct(probe::RareKeywordPapers, [this] { return randomPaper(); }))
            links.emplace_back(p, probe::RareKeyword);
        fillLinks(links, m_n.keywordLinks, [this] {
            return std::pair<int, int>{randomPaper(), randomKeyword()};
        });
        table("Paper Keywords List", m_n.keywordLinks, [this, &links](db::Recordset& rs, int i) {
            const auto& [paper, keyword] = links[static_cast<size_t>(i)];
            rs[QStringLiteral("Keywords ID")] = longValue(keyword);
            rs[QStringLiteral("Paper ID")] = paperText(paper);
            rs[QStringLiteral("Keyword")] = m_keywords[static_cast<size_t>(keyword - 1)];
        });
    }

    void references()
    {
        // (citing paper, cited paper)
        std::vector<std::pair<int, int>> links;
        for (int r : distinct(probe::PaperReferences, [this] { return randomPaper(); }))
            links.emplace_back(probe::Paper, r);
        for (int p : distinct(probe::PaperCitations, [this] { return randomPaper(); }))
            links.emplace_back(p, probe::Paper);
        fillLinks(links, m_n.references, [this] {
            const int citing = randomPaper();
            int cited;
            do
                cited = randomPaper();
            while (cited == citing);
            return std::pair<int, int>{citing, cited};
        });
        table("Paper References List", m_n.references, [&links](db::Recordset& rs, int i) {
            const auto& [citing, cited] = links[static_cast<size_t>(i)];
            rs[QStringLiteral("Reference ID")] = longValue(cited);
            rs[QStringLiteral("Paper ID")] = paperText(citing);
        });
    }

    void quotations()
    {
        // (paper, holds the rare word)
        std::vector<std::pair<int, bool>> quotes;
        for (int i = 0; i < probe::PaperQuotations; ++i)
            quotes.emplace_back(probe::Paper, false);
        for (int i = 0; i < probe::RareQuotations; ++i)
            quotes.emplace_back(randomPaper(), true);
        while (static_cast<int>(quotes.size()) < m_n.quotations)
            quotes.emplace_back(randomPaper(), false);
        // The rare ones are spread through the table rather than bunched at its start.
        for (size_t i = quotes.size() - 1; i > 0; --i)
            std::swap(quotes[i],
                      quotes[static_cast<size_t>(m_random.below(static_cast<int>(i + 1)))]);
        table("Paper Statements List", m_n.quotations, [this, &quotes](db::Recordset& rs, int i) {
            const auto& [paper, rare] = quotes[static_cast<size_t>(i)];
            rs[QStringLiteral("Paper ID")] = paperText(paper);
            rs[QStringLiteral("Statement")] = m_w.quotation(rare);
        });
    }

    void meetings()
    {
        table("Meeting", m_n.meetings, [this](db::Recordset& rs, int) {
            rs[QStringLiteral("Date")] = m_w.date();
            rs[QStringLiteral("Time")] = m_w.time();
            rs[QStringLiteral("Location")] = u(m_random.pick(Rooms));
            rs[QStringLiteral("Those Present")] = m_w.present();
            rs[QStringLiteral("Subject")] = u(m_random.pick(MeetingSubjects));
            rs[QStringLiteral("Outcome")] = m_w.outcome();
        });
    }

    void hours()
    {
        table("Time Management", m_n.hours, [this](db::Recordset& rs, int) {
            rs[QStringLiteral("Time")] = u(m_random.pick(Hours));
            rs[QStringLiteral("Subject")] = u(m_random.pick(HourSubjects));
        });
    }

    void master()
    {
        table("Master", 1, [](db::Recordset& rs, int) {
            rs[QStringLiteral("ToDos")] = QStringLiteral(
                "Finish the review of chapter 2\r\nChase Dr O'Brien about the interview "
                "transcripts\r\nCheck the Müller (1998) page numbers\r\n");
        });
    }

    db::Database& m_db;
    Counts m_n;
    Random m_random;
    Writer m_w;
    std::unordered_set<int> m_rareTitles;
    std::vector<QString> m_keywords; // by keyword id - 1
};

int usage()
{
    std::fprintf(stderr,
                 "usage: quirelle_generate <path-without-extension> [--scale F]\n"
                 "  makes <path>.mdb: a full-size project, or F times its counts "
                 "(F >= %.1f)\n",
                 MinimumScale);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QString path;
    double scale = 1.0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--scale") && i + 1 < argc) {
            bool ok = false;
            scale = QString::fromLocal8Bit(argv[++i]).toDouble(&ok);
            if (!ok)
                return usage();
        } else if (arg.startsWith(QLatin1Char('-')) || !path.isEmpty()) {
            return usage();
        } else {
            path = arg;
        }
    }
    if (path.isEmpty() || scale < MinimumScale - 1e-9 || scale > 100)
        return usage();
    if (path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive))
        path.chop(4);

    const Counts n = Counts{}.scaled(scale);
    const QString file = path + QStringLiteral(".mdb");
    std::printf("Generating %s (scale %g)\n", qPrintable(file), scale);
    QElapsedTimer timer;
    timer.start();
    try {
        db::createProjectFile(path);
        auto database = db::Database::OpenDatabase(file);
        Generator(*database, n).run();
        database->Close();
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "quirelle_generate: error %d: %s\n", e.number(),
                     qPrintable(e.description()));
        return 1;
    }
    const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
    std::printf("Done in %.1f s; %s is %.1f MB\n", seconds, qPrintable(file),
                static_cast<double>(QFileInfo(file).size()) / (1024.0 * 1024.0));
    std::printf("Probes: paper %d (%d authors, %d keywords, %d references, %d citations, %d "
                "quotations); paper %d has no links; author %d has %d papers; keyword %d has %d "
                "papers; \"%s\" is in %d titles, %d quotations and keyword %d (%d papers)\n",
                probe::Paper, probe::PaperAuthors, probe::PaperKeywords, probe::PaperReferences,
                probe::PaperCitations, probe::PaperQuotations, probe::EmptyPaper, probe::Author,
                probe::AuthorPapers, probe::Keyword, probe::KeywordPapers, probe::RareWord,
                probe::RareTitles, probe::RareQuotations, probe::RareKeyword,
                probe::RareKeywordPapers);
    return 0;
}
