#include <gtest/gtest.h>

#include "compare/object_id_pieces.h"

TEST(ObjectIdPieces, ASpanIsCutByItsNextDigitWithinItsBounds) {
    const std::optional<Piece> root = pieceOfSpan(
        {.lower = "6b0e0e005f3c2a1b9d0035ff", .lowerExclusive = true, .upper = "6b14a5805f3c2a1b9d0064c8"});
    ASSERT_TRUE(root);
    EXPECT_EQ(root->prefix, "6b");
    EXPECT_EQ(root->bounds.lower, "6b0e0e005f3c2a1b9d003600");
    Piece wide = *root;
    wide.documents.count = 100'000;
    EXPECT_EQ(digitsToCut(wide, 10'000), 3u) << "6b0e0 ~ 6b14a: 107 pieces of three digits more";
    const std::vector<Piece> children = childrenOf(*root, 1);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].prefix, "6b1");
    EXPECT_EQ(children[0].bounds.lower + " " + children[0].bounds.upper,
              "6b1000000000000000000000 6b14a5805f3c2a1b9d0064c8");
    EXPECT_EQ(children[1].bounds.lower + " " + children[1].bounds.upper,
              "6b0e0e005f3c2a1b9d003600 6b0fffffffffffffffffffff");
    EXPECT_EQ(nextObjectId(children[1].bounds.upper), children[0].bounds.lower);
    EXPECT_EQ(nextObjectId(std::string(24, 'f')), "");
    EXPECT_FALSE(pieceOfSpan({.lower = root->bounds.upper, .lowerExclusive = true, .upper = root->bounds.upper}));
}
