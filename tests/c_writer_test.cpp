// Labels: the C identifier stem made from a stream name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "c_writer.h"
#include "quarnel.h"

namespace {

std::string label_of(const char* name, bool lower)
{
    dumper_settings.lower = lower;
    char* label = make_label(name);
    std::string result = label;
    std::free(label);
    dumper_settings.lower = false;
    return result;
}

TEST(MakeLabel, FoldsTheBaseNameIntoAnIdentifier)
{
    struct Case {
        const char* name;
        const char* label;
        const char* lower_label;
    };
    const Case cases[] = {
        {"walk.anm", "anm_walk_anm", "anm_walk_anm"},
        {"data/Walk-1.anm", "anm_Walk_1_anm", "anm_walk_1_anm"},
        {"<stdin>", "anm__stdin_", "anm__stdin_"},
        {"C:\\art\\RUN.ANM", "anm_C__art_RUN_ANM", "anm_c__art_run_anm"},
        {"a/b/c/Z_9.x", "anm_Z_9_x", "anm_z_9_x"},
        {"dir/", "anm_", "anm_"},
        {"", "anm_", "anm_"},
        {"100% sure.anm", "anm_100__sure_anm", "anm_100__sure_anm"},
        {"caf\xc3\xa9.ANM", "anm_caf___ANM", "anm_caf___anm"},
        {"[]{}@`~^", "anm_________", "anm_________"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(label_of(c.name, false), c.label) << c.name;
        EXPECT_EQ(label_of(c.name, true), c.lower_label) << c.name;
    }
}

TEST(MakeLabel, SameBaseNameInOtherDirectoriesGivesTheSameLabel)
{
    EXPECT_EQ(label_of("a/walk.anm", false), label_of("b/walk.anm", false));
    EXPECT_NE(label_of("a\\walk.anm", false), label_of("b\\walk.anm", false));
}

}  // namespace
