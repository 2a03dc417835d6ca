// The chain from the built-in key to the list: roots, delegations, list and
// package versions, and the clock, judged one publication after another as a
// program takes them.
#include <gtest/gtest.h>

#include <functional>

#include "FakePublisher.h"
#include "signing/Trust.h"

using namespace signing;
using namespace std::chrono;
using testsupport::FakePublisher;

namespace {

const Time kStart = sys_days(2026y / March / 1) + 12h;

const Wording kWording{[](Time time) { return formatTime(time); },
                       [](int index) { return std::to_string(index); }};

// A program built with the publisher's first root, taking what it is offered.
struct Program {
    explicit Program(const FakePublisher& publisher) : builtIn(publisher.builtIn()) {}

    Verdict offer(const Publication& offered, Time clock) {
        Verdict verdict =
            judgePublication(offered, builtIn, taken ? &*taken : nullptr, clock, kWording);
        if (verdict.trusted) {
            // What it keeps reads back as it was.
            const std::optional<TrustState> kept = readTaken(formatTaken(verdict.state), builtIn);
            EXPECT_TRUE(kept) << "the record of what was taken does not read back";
            if (kept) {
                EXPECT_EQ(kept->knownTime, verdict.state.knownTime);
                EXPECT_EQ(kept->root, verdict.state.root);
            }
            taken = verdict.state;
        }
        return verdict;
    }

    PublicKey builtIn;
    std::optional<TrustState> taken;
};

std::string toUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace

TEST(Trust, EachPublicationIsJudgedAgainstWhatTheProgramTookBefore) {
    struct Case {
        const char* name;
        bool delegated;
        // Takes what comes before, then returns what is offered last and the
        // program's clock then.
        std::function<std::pair<Publication, Time>(FakePublisher&, Program&)> story;
        const char* refusal;  // the start of the reason; null when trusted
    };
    const auto later = [](FakePublisher& publisher, days by) { publisher.clock += by; };
    const Case cases[] = {
        {"a list signed by the built-in key, without a delegation", false,
         [](FakePublisher& p, Program&) { return std::pair(p.publish(), kStart); }, nullptr},
        {"a list under the delegation", true,
         [](FakePublisher& p, Program&) { return std::pair(p.publish(), kStart); }, nullptr},
        {"a list signed by the root while a delegation names another key", true,
         [](FakePublisher& p, Program&) {
             return std::pair(p.publish(days(180), &p.root()), kStart);
         },
         "A lista de pacotes do servidor não tem a assinatura"},
        {"the delegation dropped once taken", true,
         [](FakePublisher& p, Program& program) {
             program.offer(p.publish(), kStart);
             Publication bare = p.publish();
             bare.delegation.clear();
             bare.delegationSignature.clear();
             return std::pair(bare, kStart);
         },
         "O servidor não publica a delegação"},
        {"a delegation not signed by the root", true,
         [](FakePublisher& p, Program&) {
             const KeyPair stranger = generateKeyPair();
             p.delegateTo(stranger, days(365), &stranger);
             return std::pair(p.publish(), kStart);
         },
         "A delegação da chave dos pacotes publicada pelo servidor não tem a assinatura"},
        {"a new package key: its lists go on, the old key's are refused", true,
         [&](FakePublisher& p, Program& program) {
             program.offer(p.publish(), kStart);
             const KeyPair old = p.packageKey();
             later(p, days(1));
             p.delegateTo(generateKeyPair());
             EXPECT_TRUE(program.offer(p.publish(), kStart + days(1)).trusted);
             return std::pair(p.publish(days(180), &old), kStart + days(1));
         },
         "A lista de pacotes do servidor não tem a assinatura"},
        {"the delegation of a replaced key served again", true,
         [&](FakePublisher& p, Program& program) {
             const Publication first = p.publish();
             program.offer(first, kStart);
             p.delegateTo(generateKeyPair());
             program.offer(p.publish(), kStart);
             return std::pair(first, kStart);
         },
         "A delegação da chave dos pacotes publicada pelo servidor (versão 1) é mais antiga"},
        {"a new root, followed from the built-in one", true,
         [](FakePublisher& p, Program& program) {
             program.offer(p.publish(), kStart);
             p.replaceRoot();
             p.replaceRoot();
             return std::pair(p.publish(), kStart);
         },
         nullptr},
        {"a program built with a later root starts from its place in the chain", true,
         [](FakePublisher& p, Program& program) {
             p.replaceRoot();
             program.builtIn = p.root().publicKey;
             p.replaceRoot();
             EXPECT_TRUE(program.offer(p.publish(), kStart).trusted);
             EXPECT_EQ(program.taken->root.version, 3u);
             // A line of its own key at a later place, which it did not sign.
             Publication forged = p.publish();
             std::vector<RootLink> links = parseRootLinks(forged.roots);
             links.push_back({4, program.builtIn, links[1].byItself, links[1].byItself});
             forged.roots = formatRootLinks(links);
             program.taken.reset();
             return std::pair(forged, kStart);
         },
         "A troca da chave raiz do editor publicada pelo servidor (versão 4) não tem a assinatura"},
        {"a root change that the new root did not sign", true,
         [](FakePublisher& p, Program&) {
             p.replaceRoot();
             Publication forged = p.publish();
             // The second signature of the link made by the old root too.
             std::vector<RootLink> links = parseRootLinks(forged.roots);
             links[0].byItself = links[0].byPrevious;
             forged.roots = formatRootLinks(links);
             return std::pair(forged, kStart);
         },
         "A troca da chave raiz do editor publicada pelo servidor (versão 2) não tem a assinatura"},
        {"the old root's delegation once the new root is taken", true,
         [](FakePublisher& p, Program& program) {
             const Publication before = p.publish();
             p.replaceRoot();
             program.offer(p.publish(), kStart);
             Publication mixed = p.publish();
             mixed.delegationSignature = before.delegationSignature;
             return std::pair(mixed, kStart);
         },
         "A delegação da chave dos pacotes publicada pelo servidor não tem a assinatura"},
        {"more root changes than a program follows", true,
         [](FakePublisher& p, Program&) {
             for (std::size_t n = 0; n <= kMaxRootLinks; ++n) p.replaceRoot();
             return std::pair(p.publish(), kStart);
         },
         "A lista de chaves raiz do servidor não pode ser lida"},
        {"an older list", true,
         [](FakePublisher& p, Program& program) {
             const Publication first = p.publish();
             program.offer(p.publish(), kStart);
             return std::pair(first, kStart);
         },
         "A lista de pacotes do servidor é mais antiga que a última recebida por este programa "
         "(lista 1; a última, 2)"},
        {"another list under the same number", true,
         [](FakePublisher& p, Program& program) {
             program.offer(p.publish(), kStart);
             p.setPackage(3, "outro", 1);
             return std::pair(p.publish(days(180), nullptr, 1), kStart);
         },
         "A lista de pacotes do servidor é mais antiga"},
        {"the same list again", true,
         [](FakePublisher& p, Program& program) {
             const Publication first = p.publish();
             program.offer(first, kStart);
             return std::pair(first, kStart + days(10));
         },
         nullptr},
        {"a newer list that takes a package back", true,
         [](FakePublisher& p, Program& program) {
             p.setPackage(3, "v2", 2);
             program.offer(p.publish(), kStart);
             p.setPackage(3, "v1", 1);
             return std::pair(p.publish(), kStart);
         },
         "A lista de pacotes do servidor volta o pacote 3 da versão 2 à versão 1"},
        {"lists without a version from the one built-in key", false,
         [](FakePublisher& p, Program& program) {
             // As the tool signed them before list versions: dates alone.
             const auto unnumbered = [&p](Time published) {
                 PackageIndex index;
                 index.setValidity({published, published + kDefaultValidity});
                 Publication publication;
                 publication.list = index.format();
                 const Signature signature =
                     sign(p.root().secretKey,
                          {reinterpret_cast<const std::uint8_t*>(publication.list.data()),
                           publication.list.size()});
                 publication.listSignature.assign(signature.begin(), signature.end());
                 return publication;
             };
             program.offer(unnumbered(kStart + 1h), kStart + 1h);
             EXPECT_EQ(program.taken->list.listVersion(), 0u);
             return std::pair(unnumbered(kStart + 2h), kStart + 2h);
         },
         nullptr},
        {"an expired list", true,
         [](FakePublisher& p, Program&) {
             return std::pair(p.publish(days(10)), kStart + days(10));
         },
         "A lista de pacotes do servidor expirou em 2026-03-11T12:00:00Z"},
        {"an expired delegation", true,
         [](FakePublisher& p, Program&) {
             p.delegateTo(p.packageKey(), days(5));
             return std::pair(p.publish(days(10)), kStart + days(6));
         },
         "A delegação da chave dos pacotes expirou em 2026-03-06T12:00:00Z"},
        {"a clock set back behind a list taken: the list before it expired", true,
         [](FakePublisher& p, Program& program) {
             p.clock = kStart + days(30);
             program.offer(p.publish(), kStart + days(30));
             // Signed on the publisher's clock gone back, good for ten days.
             p.clock = kStart;
             return std::pair(p.publish(days(10)), kStart + days(5));
         },
         "A lista de pacotes do servidor expirou em 2026-03-11T12:00:00Z: ela pode não trazer as "
         "versões mais novas dos pacotes. Entre em contato com o editor da biblioteca para que "
         "ele publique uma lista atualizada. A data deste computador, 2026-03-06T12:00:00Z, "
         "parece atrasada: este programa já recebeu uma lista publicada em 2026-03-31T12:00:00Z."},
        {"a list from far ahead is taken for its version, and is no floor of time", true,
         [](FakePublisher& p, Program& program) {
             p.clock = kStart + days(400);  // the publisher's clock, once
             EXPECT_TRUE(program.offer(p.publish(), kStart).trusted);
             EXPECT_LT(program.taken->knownTime, kStart + days(1));
             p.clock = kStart + days(1);  // mended
             return std::pair(p.publish(days(10)), kStart + days(2));
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePublisher publisher(kStart, c.delegated);
        publisher.setPackage(3, "pacote", 1);
        Program program(publisher);
        const auto [offered, clock] = c.story(publisher, program);
        const Verdict verdict = program.offer(offered, clock);
        if (!c.refusal) {
            EXPECT_TRUE(verdict.trusted) << verdict.because;
            continue;
        }
        EXPECT_FALSE(verdict.trusted);
        EXPECT_EQ(verdict.because.substr(0, std::string_view(c.refusal).size()), c.refusal)
            << verdict.because;
    }
}

TEST(Trust, ARecordIsTrustedOnlyWhenItsChainHoldsFromTheBuiltInKey) {
    FakePublisher publisher(kStart, true);
    publisher.setPackage(3, "pacote", 1);
    publisher.replaceRoot();
    Program program(publisher);
    ASSERT_TRUE(program.offer(publisher.publish(), kStart).trusted);
    const std::string record = formatTaken(*program.taken);
    EXPECT_TRUE(readTaken(record, publisher.builtIn()));
    EXPECT_FALSE(readTaken(record, generateKeyPair().publicKey)) << "another program's key";
    // Every byte but those of the time the program knows, which no one signs.
    const std::size_t knownLine = record.find("conhecida");
    const std::size_t knownEnd = record.find('\n', knownLine);
    for (std::size_t at = 0; at < record.size(); at += 3) {
        if (at >= knownLine && at < knownEnd) continue;
        std::string damaged = record;
        damaged[at] ^= 0x01;
        EXPECT_FALSE(readTaken(damaged, publisher.builtIn())) << "a byte changed at " << at;
    }
    EXPECT_FALSE(readTaken(record.substr(0, record.size() - 1), publisher.builtIn()));
    EXPECT_FALSE(readTaken(record + "x", publisher.builtIn()));
}

TEST(Trust, RootLinksAndDelegationsReadOnlyTheirOwnForm) {
    const KeyPair a = generateKeyPair(), b = generateKeyPair();
    const std::string link = formatRootLinks({linkRoot(a.secretKey, b.secretKey, 2)});
    EXPECT_EQ(formatRootLinks(parseRootLinks(link)), link);
    const std::string second = formatRootLinks({linkRoot(b.secretKey, a.secretKey, 3)});
    const Delegation delegation{4, b.publicKey, kStart, kStart + 1h};
    EXPECT_EQ(Delegation::parse(delegation.format()), delegation);
    const std::string text = delegation.format();
    const std::string badRoots[] = {
        link.substr(0, link.size() - 1),                           // no line break
        second + link,                                             // versions out of order
        formatRootLinks({linkRoot(a.secretKey, b.secretKey, 1)}),  // root 1 is the built-in one
        link + link,                                               // a version twice
        "2 " + link.substr(2, 64) + "\n",                          // fields missing
        "2 " + toUpper(link.substr(2)),                            // upper-case hex
    };
    for (const std::string& bad : badRoots) EXPECT_THROW(parseRootLinks(bad), IndexError) << bad;
    const std::string badDelegations[] = {
        text.substr(0, text.size() - 1),
        "delegacao 0" + text.substr(text.find('\n')),
        Delegation{1, b.publicKey, kStart, kStart}.format(),  // ends when it starts
        text + "ate 2030-01-01T00:00:00Z\n",
        text.substr(text.find('\n') + 1),
        text.substr(0, text.find(toHex(b.publicKey))) + toUpper(toHex(b.publicKey)) +
            text.substr(text.find(toHex(b.publicKey)) + 64),
    };
    for (const std::string& bad : badDelegations)
        EXPECT_THROW(Delegation::parse(bad), IndexError) << bad;
}
