#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "inference/dir_search.h"
#include "segmenter_fixture.h"

namespace fs = std::filesystem;

namespace {

void SetModelName(const std::string& name) {
    std::snprintf(g_model.m_params.modelName, sizeof g_model.m_params.modelName, "%s", name.c_str());
}

TEST(ModelLocation, WildcardMatchingIgnoresCaseAndBacktracks) {
    EXPECT_TRUE(WildcardMatch("*.tesk", "a.tesk"));
    EXPECT_TRUE(WildcardMatch("*.tesk", "A.TeSk"));
    EXPECT_TRUE(WildcardMatch("*.tesk", ".tesk"));
    EXPECT_TRUE(WildcardMatch("*.tesk", "a.tesk.tesk"));
    EXPECT_FALSE(WildcardMatch("*.tesk", "a.tesk.bak"));
    EXPECT_FALSE(WildcardMatch("*.tesk", "atesk"));
    EXPECT_FALSE(WildcardMatch("*.tesk", "."));
    EXPECT_TRUE(WildcardMatch("m?del*", "model_1"));
}

// A configured name is joined to the folder with one separator in a
// 1000-byte buffer; a path that does not fit leaves the output untouched.
TEST(ModelLocation, ConfiguredNameIsJoinedWithinThePathLimit) {
    const std::string name = "model_144x80_2ch_nosig_sim_f32.tesk", named = "model file name: " + name + ".\n";
    const std::string a992(992, 'a');
    const struct {
        std::string name, folder;
        int status;
        std::string log, path;
    } cases[] = {
        {name, "D:\\models", 0, named, "D:\\models\\" + name},
        {name, "D:\\models\\", 0, named, "D:\\models\\" + name},
        {name, "C:\\%d%s", 0, named, "C:\\%d%s\\" + name},  // percent signs are text, not formats
        {"m.tesk", a992, 0, "model file name: m.tesk.\n", a992 + "\\m.tesk"},  // 999 bytes
        {"m.tesk", std::string(998, 'a'), -1, "model file name: m.tesk.\n", "unchanged"},  // the name does not fit
        {"m.tesk", std::string(999, 'a'), -1, "", "unchanged"},  // the separator does not fit
        {"m.tesk", std::string(1000, 'a'), -1, "ModelInit: write model path error\n", "unchanged"},
        {"m.tesk", std::string(1001, 'a'), -1, "ModelInit: Model path is too long\n", "unchanged"},
    };
    for (const auto& c : cases) {
        SetModelName(c.name);
        std::string path = "unchanged";
        LogCapture log;
        EXPECT_EQ(g_model.BuildModelPath(c.folder, ".tesk", path), c.status) << c.folder.size();
        EXPECT_EQ(log.Text(), c.log) << c.folder.size();
        EXPECT_EQ(path, c.path) << c.folder.size();
    }
}

// With an empty name the first file the search meets is taken: entries in
// name order, letter case ignored and compared as upper case (as NTFS orders
// them, so every target picks the same file); only subfolders named like
// models are descended into, each once (links lead back up) and no deeper
// than the search goes. The name found is joined to the top folder.
TEST(ModelLocation, SearchOrderDescentAndLimits) {
    std::string deep;
    for (int level = 0; level < 24; ++level) deep += "d.tesk/";
    const struct {
        std::vector<std::string> files;
        bool links;
        std::vector<std::string> found;  // below the top folder
        std::string chosen;
    } cases[] = {
        {{"readme.txt"}, false, {}, ""},
        {{"readme.txt", "plain/inner.tesk", "old.tesk/M.TESK"}, false, {"old.tesk\\M.TESK"}, "M.TESK"},
        {{"m.tesk", "B.tesk", "_u.tesk", "a2.tesk", "Zz.tesk", "c.tesk", "A1.tesk", "x.tesk", "b1.tesk", "K.TESK",
          "j.tesk", "0.tesk"},
         false,
         {"0.tesk", "A1.tesk", "a2.tesk", "B.tesk", "b1.tesk", "c.tesk", "j.tesk", "K.TESK", "m.tesk", "x.tesk",
          "Zz.tesk", "_u.tesk"},
         "0.tesk"},
        {{"m.tesk", deep + "too_deep.tesk", "d.tesk/d.tesk/shallow.tesk"}, true,
         {"d.tesk\\d.tesk\\shallow.tesk", "m.tesk"}, "shallow.tesk"},
    };
    SetModelName("");
    NnxModel* saved = g_model.m_nnxModel;
    g_model.m_nnxModel = nullptr;
    {
        LogCapture log;
        EXPECT_EQ(g_model.LoadModel("anything"), -2);  // no record to prepare
        EXPECT_EQ(log.Text(), "");
    }
    NnxModel record{};
    g_model.m_nnxModel = &record;
    for (const auto& c : cases) {
        const ScratchFolder scratch("vidra_locator_test");
        for (const std::string& file : c.files) scratch.Touch(file);
        std::error_code error;
        if (c.links) {
            fs::create_directory_symlink(scratch.path, scratch.path / "up.tesk", error);
            const fs::path inner = scratch.path / "d.tesk";
            if (!error) fs::create_directory_symlink(inner, inner / "d.tesk" / "back.tesk", error);
            // Where links cannot be made (Wine), only the depth limit is tried.
            if (error) std::fprintf(stderr, "no symbolic links here: %s\n", error.message().c_str());
        }
        const std::string top = scratch.Backslashed();
        std::string path;
        LogCapture quiet;
        EXPECT_EQ(g_model.BuildModelPath(top, ".tesk", path), 0);
        quiet.Text();
        EXPECT_EQ(path, top + "\\" + c.chosen);
        // No file here is a model that prepares.
        LogCapture log;
        EXPECT_EQ(g_model.LoadModel(top), -1);
        EXPECT_EQ(log.Text(), (c.found.empty() ? "No files with the extension .tesk were sent.\n" : "") +
                                  std::string("model file name: ") + c.chosen + ".\nNNXPreparePlus start.\n" +
                                  "NNXPrepare ret: -1\n");
        // The search is handed the folder with its separator and adds another.
        std::vector<std::string> found, expected;
        g_model.ScanModelFiles(top + "\\", ".tesk", found);
        for (const std::string& name : c.found) expected.push_back(top + "\\\\" + name);
        EXPECT_EQ(found, expected);
    }
    g_model.m_nnxModel = saved;
}

}  // namespace
