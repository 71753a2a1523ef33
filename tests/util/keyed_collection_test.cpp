#include "util/keyed_collection.h"

#include <gtest/gtest.h>

#include <memory>

using quillmere::DuplicateKeyError;
using quillmere::IntCollection;
using quillmere::StringCollection;

TEST(KeyedCollection, ReachesEntriesByOneBasedPositionAndByKey)
{
    StringCollection c;
    c.add(u"root/", u"K0");
    c.add(u"root/sub/", u"K2");
    c.add(u"root/other/", u"K3");
    EXPECT_EQ(c.count(), 3);
    EXPECT_EQ(c.item(1), u"root/");
    EXPECT_EQ(c.item(3), u"root/other/");
    EXPECT_EQ(c.item(u"K2"), u"root/sub/");
    EXPECT_EQ(c.keyAt(2), u"K2");
    EXPECT_EQ(c.positionOf(u"K3"), 3);
    EXPECT_EQ(c.positionOf(u"K1"), 0);
    EXPECT_EQ(c.values(), (std::vector<std::u16string>{u"root/", u"root/sub/", u"root/other/"}));
}

TEST(KeyedCollection, OutOfRangePositionsAndUnknownKeysThrow)
{
    IntCollection c;
    EXPECT_THROW(c.item(1), std::out_of_range);
    c.add(5, u"K1");
    EXPECT_THROW(c.item(0), std::out_of_range);
    EXPECT_THROW(c.item(2), std::out_of_range);
    EXPECT_THROW(c.item(u"K2"), std::out_of_range);
    EXPECT_FALSE(c.contains(u"K2"));
}

TEST(KeyedCollection, KeysIgnoreLetterCase)
{
    StringCollection c;
    c.add(u"first", u"Inbox");
    EXPECT_TRUE(c.contains(u"INBOX"));
    EXPECT_EQ(c.item(u"inbox"), u"first");
    EXPECT_EQ(c.keyAt(1), u"Inbox") << "the key is kept as given";

    c.add(u"umlaut", u"\u00C4rger");
    EXPECT_EQ(c.item(u"\u00E4RGER"), u"umlaut");
    c.add(u"cyrillic", u"\u041F\u043E\u0447\u0442\u0430");
    EXPECT_EQ(c.item(u"\u043F\u041E\u0427\u0422\u0410"), u"cyrillic");
    c.add(u"latin-a", u"\u0141\u00F3d\u017A");
    EXPECT_EQ(c.item(u"\u0142\u00D3D\u0179"), u"latin-a");
}

TEST(KeyedCollection, AddingAnExistingKeyFailsAndChangesNothing)
{
    StringCollection c;
    c.add(u"a", u"K1");
    EXPECT_THROW(c.add(u"b", u"K1"), DuplicateKeyError);
    EXPECT_THROW(c.add(u"b", u"k1"), DuplicateKeyError);
    EXPECT_EQ(c.count(), 1);
    EXPECT_EQ(c.item(u"K1"), u"a");
    c.add(u"a", u"K2");  // equal values under different keys are fine
    EXPECT_EQ(c.count(), 2);
}

TEST(KeyedCollection, DistinctKeysThatOnlyLookAlikeStayDistinct)
{
    StringCollection c;
    c.add(u"x", u"\u00D7");  // multiplication sign has no small form
    c.add(u"y", u"\u00F7");
    c.add(u"s", u"\u00DF");
    c.add(u"ss", u"ss");
    EXPECT_EQ(c.count(), 4);
}

TEST(KeyedCollection, SharedHolderKeepsItAliveAfterProducerLetsGo)
{
    auto producer = std::make_shared<StringCollection>();
    producer->add(u"kept", u"K1");
    std::shared_ptr<StringCollection> holder = producer;
    producer.reset();
    ASSERT_EQ(holder->count(), 1);
    EXPECT_EQ(holder->item(1), u"kept");
}
