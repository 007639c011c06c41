// The descriptor cursor and the type table.
#include "JavaTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Walk {
  std::vector<std::string> texts;
  std::vector<bool> wellFormed;
  bool closed = false;
};

Walk walk(const std::string& descriptor) {
  Walk w;
  DescriptorCursor cursor(descriptor);
  while (cursor.hasParameter()) {
    const TypeDescriptor p = cursor.nextParameter();
    w.texts.emplace_back(p.text);
    w.wellFormed.push_back(p.wellFormed);
  }
  w.closed = cursor.closed();
  return w;
}

}  // namespace

TEST(DescriptorCursor, ReadsEveryParameterAndMarksWhatTheClassFileRulesReject) {
  Walk w = walk("(IJ[[Ljava/lang/String;Z[D)V");
  EXPECT_EQ(w.texts, (std::vector<std::string>{"I", "J", "[[Ljava/lang/String;", "Z", "[D"}));
  EXPECT_EQ(w.wellFormed, (std::vector<bool>{true, true, true, true, true}));
  EXPECT_TRUE(w.closed);

  // An empty class name, an array of void, a letter of no type, a bracket run that ends the
  // text: each read as one parameter all the same.
  w = walk("(L;[VQ[");
  EXPECT_EQ(w.texts, (std::vector<std::string>{"L;", "[V", "Q", "["}));
  EXPECT_EQ(w.wellFormed, (std::vector<bool>{false, false, false, false}));
  EXPECT_FALSE(w.closed);

  // A class name without its ';' runs to the end; a ')' after brackets is their element.
  w = walk("(Ljava/lang/Object)V");
  EXPECT_EQ(w.texts, (std::vector<std::string>{"Ljava/lang/Object)V"}));
  EXPECT_FALSE(w.closed);
  w = walk("([)V)I");
  EXPECT_EQ(w.texts, (std::vector<std::string>{"[)", "V"}));
  EXPECT_TRUE(w.closed);

  // A class file allows 255 dimensions.
  EXPECT_TRUE(readFieldDescriptor(std::string(255, '[') + "I", 0).wellFormed);
  EXPECT_FALSE(readFieldDescriptor(std::string(256, '[') + "I", 0).wellFormed);

  EXPECT_FALSE(DescriptorCursor("I").isMethod());
  EXPECT_TRUE(walk("I)V").texts.empty());
  EXPECT_TRUE(walk("()V").closed);
  EXPECT_FALSE(walk("(").closed);
}

TEST(JavaTypes, LettersAndOpcodesFollowTheClassFileFormat) {
  const std::string letters = "BCDFIJSZV";
  for (int i = 1; i < 128; ++i) {
    const char c = static_cast<char>(i);
    const JavaType* type = javaPrimitive(c);
    ASSERT_EQ(type != nullptr, letters.find(c) != std::string::npos) << c;
    if (type) {
      EXPECT_EQ(type->letter, c);
    }
  }
  // Loads with an index come in the order int, long, float, double, reference; the loads of
  // local 0 four apart in the same order, and the returns likewise.
  for (const JavaType& t : kJavaTypes) {
    SCOPED_TRACE(t.letter);
    if (t.letter == 'V') {
      EXPECT_EQ(t.slots, 0);
      EXPECT_EQ(t.returnOpcode, 0xb1);  // return
      continue;
    }
    EXPECT_EQ(t.slots, t.letter == 'J' || t.letter == 'D' ? 2 : 1);
    // byte, char, short and boolean values load and return as ints.
    const char kind = std::string("BCSZ").find(t.letter) != std::string::npos ? 'I' : t.letter;
    const int family = static_cast<int>(std::string("IJFDL").find(kind));
    EXPECT_EQ(t.loadOpcode, 0x15 + family);  // iload ... aload
    EXPECT_EQ(t.loadZeroOpcode, 0x1a + 4 * family);
    EXPECT_EQ(t.returnOpcode, 0xac + family);
  }
}
