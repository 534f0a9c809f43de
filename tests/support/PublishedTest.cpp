#include "support/Published.h"

#include <QString>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace korvalen;

TEST(Published, NewSubscriberGetsCurrentValueThenEveryAssignmentIncludingRepeats)
{
    Published<int> value(1);
    std::vector<int> seen;
    const Subscription subscription = value.subscribe([&](int v) { seen.push_back(v); });
    value.set(2);
    value.set(2);
    EXPECT_EQ(seen, (std::vector{1, 2, 2}));
}

TEST(Published, HandlersSeeTheStoredValueAndRunInSubscriptionOrder)
{
    Published<int> value(0);
    std::vector<std::pair<char, int>> calls;
    const Subscription first =
        value.subscribeToChanges([&](int) { calls.emplace_back('a', value.value()); });
    const Subscription second =
        value.subscribeToChanges([&](int) { calls.emplace_back('b', value.value()); });
    value.set(7);
    EXPECT_EQ(calls, (std::vector<std::pair<char, int>>{{'a', 7}, {'b', 7}}));
}

TEST(Subscription, DroppingOrCancellingTheTokenDisconnects)
{
    Published<int> value(0);
    int dropped = 0;
    int cancelled = 0;
    int reassigned = 0;
    {
        const Subscription s = value.subscribeToChanges([&](int) { ++dropped; });
    }
    Subscription c = value.subscribeToChanges([&](int) { ++cancelled; });
    c.cancel();
    Subscription r = value.subscribeToChanges([&](int) { ++reassigned; });
    r = Subscription();
    value.set(1);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(reassigned, 0);
}

TEST(Subscription, OutlivingThePublisherIsHarmless)
{
    Subscription token;
    {
        Published<int> value(0);
        token = value.subscribeToChanges([](int) {});
    }
    token.cancel();
    SUCCEED();
}

TEST(Signal, HandlersMayCancelThemselvesOrOthersAndConnectOthersWhileEmitting)
{
    Signal<> signal;
    int selfCalls = 0;
    int addedCalls = 0;
    int laterCalls = 0;
    Subscription self;
    Subscription added;
    Subscription later;
    self = signal.connect([&] {
        ++selfCalls;
        self.cancel();
        later.cancel();
        added = signal.connect([&] { ++addedCalls; });
    });
    later = signal.connect([&] { ++laterCalls; });
    signal.emit();
    EXPECT_EQ(laterCalls, 0) << "a handler cancelled during an emission is not called";
    EXPECT_EQ(addedCalls, 0) << "a handler connected during an emission waits for the next one";
    signal.emit();
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(addedCalls, 1);
    EXPECT_EQ(laterCalls, 0);
}

TEST(Published, NestedAssignmentFromAHandlerReachesEverySubscriberInOrder)
{
    Published<std::optional<int>> value(std::nullopt);
    std::vector<std::pair<char, std::optional<int>>> seen;
    const Subscription resetter = value.subscribeToChanges([&](const std::optional<int>& v) {
        seen.emplace_back('a', v);
        if (v == 1)
            value.set(2);
    });
    const Subscription recorder =
        value.subscribeToChanges([&](const std::optional<int>& v) { seen.emplace_back('b', v); });
    value.set(1);
    EXPECT_EQ(seen, (std::vector<std::pair<char, std::optional<int>>>{
                        {'a', 1}, {'b', 1}, {'a', 2}, {'b', 2}}))
        << "the later assignment is announced after the earlier one has reached everyone";
    EXPECT_EQ(value.value(), 2);
}
