#include "common/NotificationCenter.h"

#include <algorithm>

NotificationCenter::Token NotificationCenter::addObserver(NotificationName name,
                                                          Observer observer) {
    const Token token = nextToken_++;
    entries_.push_back({token, name.string(), std::make_shared<Observer>(std::move(observer))});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(NotificationName name, const QVariantMap& userInfo) {
    // Observers may add or remove observers while being called: deliver to a snapshot, and
    // skip those removed in the meantime.
    const QString n = name.string();
    std::vector<std::pair<Token, std::shared_ptr<Observer>>> targets;
    for (const Entry& e : entries_)
        if (e.name == n)
            targets.emplace_back(e.token, e.observer);
    for (auto& [token, observer] : targets) {
        const bool stillThere = std::any_of(entries_.begin(), entries_.end(),
                                            [t = token](const Entry& e) { return e.token == t; });
        if (stillThere)
            (*observer)(userInfo);
    }
}

int NotificationCenter::observerCount(NotificationName name) const {
    const QString n = name.string();
    return int(std::count_if(entries_.begin(), entries_.end(),
                             [&](const Entry& e) { return e.name == n; }));
}
