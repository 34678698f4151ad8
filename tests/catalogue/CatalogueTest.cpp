#include <gtest/gtest.h>

#include "catalogue/Catalogue.h"

TEST(Catalogue, ListSizes)
{
    EXPECT_EQ(PairsOf(PairList::Google).size(), 529u);
    EXPECT_EQ(PairsOf(PairList::Local).size(), 529u);
    EXPECT_EQ(PairsOf(PairList::Babelfish).size(), 36u);
    EXPECT_EQ(PairsOf(PairList::FreeTranslation).size(), 18u);
}
