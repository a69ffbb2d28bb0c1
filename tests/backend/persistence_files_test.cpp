// The persistence file layer on a simulated host's configuration directory.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm_types.h"
#include "sim/machine.h"
#include "support/sim_host.h"

namespace {

const char kTgt[] = "/etc/config/TAQ/vexo/savetgt.txt";
const char kStp[] = "/etc/config/TAQ/vexo/savestp.txt";

std::string tgt_line(const char *lhba, const char *name, const char *ip, const char *port, const char *isid)
{
    return std::string(lhba) + "," + name + "," + ip + "," + port + "," + isid +
           ",iqn.i,Yes,Yes,None,None,None,,,,,Static,,,,\n";
}

// A LogicalHBA below an iSCSI function below an adapter, as instances.
struct FakeLhba {
    node nodes[3];
    group groups[3];
    multi_instance mi[3];
    explicit FakeLhba(int adapter)
    {
        const char *names[3] = {"Arcwright", "iSCSIPhysicalHBA", "LogicalHBA"};
        const int inst[3] = {adapter, 1, 0};
        std::memset(nodes, 0, sizeof nodes);
        std::memset(groups, 0, sizeof groups);
        std::memset(mi, 0, sizeof mi);
        for (int i = 0; i < 3; ++i) {
            mi[i].instance = inst[i];
            groups[i].multi_instance = &mi[i];
            nodes[i].node_type = VEXO_NODE_GROUP;
            nodes[i].node_name = const_cast<char *>(names[i]);
            nodes[i].u.grp = &groups[i];
            nodes[i].parent = i ? &nodes[i - 1] : &nodes[0];
        }
    }
    node *lhba() { return &nodes[2]; }
};

class PersistenceFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_umask_ = umask(022);
        hlvdsim::make_dirs(host_.path("/etc/config/TAQ/vexo"));
    }
    void TearDown() override { umask(old_umask_); }
    std::string path(const char *f) { return host_.path(f); }
    int temporaries()
    {
        int n = 0;
        DIR *d = opendir(host_.path("/etc/config/TAQ/vexo").c_str());
        while (dirent *e = readdir(d))
            n += std::strstr(e->d_name, ".tmp.") != nullptr;
        closedir(d);
        return n;
    }
    hlvdtest::SimHost host_;
    mode_t old_umask_ = 0;
};

TEST_F(PersistenceFiles, FileDataCountsEveryNewline)
{
    std::string text = "a\n\xff\nb\n";
    hlvdtest::write_file(path(kTgt), text);
    FILE *fp = std::fopen(path(kTgt).c_str(), "r");
    int size = 0, lines = 0;
    char *buf = VEXO_get_file_data(fp, &size, &lines);
    ASSERT_NE(nullptr, buf);
    EXPECT_EQ(text, std::string(buf));
    EXPECT_EQ(6, size);
    EXPECT_EQ(3, lines); // the 0xFF byte ends nothing
    vexo_dfree(buf);
    std::fclose(fp);
    EXPECT_EQ(nullptr, VEXO_get_file_data(nullptr, &size, &lines));
}

TEST_F(PersistenceFiles, SplitAndMatch)
{
    char key[3][VEXO_FIELD_SIZE] = {"Arcwright0", "iSCSIPhysicalHBA1", "LogicalHBA0"};
    struct Case {
        std::string line;
        int result;
        const char *field4;
    } cases[] = {
        {"arcwright0,ISCSIPHYSICALHBA1,LogicalHBA0,iqn.x,1.2.3.4\n", 0, "1.2.3.4"},
        {"Arcwright0,iSCSIPhysicalHBA10,LogicalHBA0,iqn.x,1.2.3.4\n", 1, ""},
        {"Arcwright0,iSCSIPhysicalHBA1\n", 1, ""},
        {"Arcwright0,iSCSIPhysicalHBA1,LogicalHBA0,," + std::string(300, 'z'), 0, nullptr},
    };
    for (const Case &c : cases) {
        char out[5][VEXO_FIELD_SIZE];
        std::memset(out, 0, sizeof out);
        EXPECT_EQ(c.result, VEXO_get_iscsi_data_from_file(c.line.c_str(), key, out, 5, 3)) << c.line;
        if (c.field4)
            EXPECT_STREQ(c.field4, out[4]) << c.line;
        else
            EXPECT_EQ(255u, std::strlen(out[4]));
    }
}

TEST_F(PersistenceFiles, RemoveMatchesWholeFields)
{
    FakeLhba lhba(0);
    const char *k = "Arcwright0,iSCSIPhysicalHBA1,LogicalHBA0";
    const std::string portal = tgt_line(k, "iqn.t", "10.0.0.1", "3260", "");
    const std::string login = tgt_line(k, "IQN.T", "10.0.0.1", "3260", "2");
    const std::string login12 = tgt_line(k, "iqn.t", "10.0.0.1", "3260", "12");
    const std::string longer_port = tgt_line(k, "iqn.t", "10.0.0.1", "32601", "");
    const std::string other_lhba = tgt_line("Arcwright1,iSCSIPhysicalHBA1,LogicalHBA0", "iqn.t", "10.0.0.1", "3260", "");
    const std::string all = portal + login + login12 + longer_port + other_lhba;
    struct Case {
        int isid;
        int type;
        std::string left;
    } cases[] = {
        {VEXO_ANY_ISID, VEXO_FILE_SAVED_TARGET, longer_port + other_lhba},
        {2, VEXO_FILE_SAVED_TARGET, portal + login12 + longer_port + other_lhba},
        {VEXO_ANY_ISID, VEXO_FILE_SAVED_LHBA, other_lhba},
    };
    for (const Case &c : cases) {
        hlvdtest::write_file(path(kTgt), all);
        EXPECT_EQ(0, VEXO_remove_entry_from_file(lhba.lhba(), "iqn.t", "10.0.0.1", "3260", c.isid, c.type));
        EXPECT_EQ(c.left, hlvdtest::read_file(path(kTgt))) << c.isid << " " << c.type;
    }
    hlvdtest::write_file(path(kStp), "");
    EXPECT_EQ(0, VEXO_remove_entry_from_file(lhba.lhba(), "", "10.0.0.1", "3260", 0, VEXO_FILE_SAVED_PORTALS));
    EXPECT_EQ("", hlvdtest::read_file(path(kStp)));
    unlink(path(kStp).c_str());
    EXPECT_EQ(1, VEXO_remove_entry_from_file(lhba.lhba(), "", "10.0.0.1", "3260", 0, VEXO_FILE_SAVED_PORTALS));
    EXPECT_EQ(1, VEXO_remove_entry_from_file(nullptr, "", "", "", 0, VEXO_FILE_SAVED_TARGET));
}

TEST_F(PersistenceFiles, AppendRefusesUnstorableValuesAndIsOwnerOnly)
{
    const char *good[] = {"Arcwright0", "iSCSIPhysicalHBA0", "LogicalHBA0", "10.0.0.1", "3260"};
    const char *comma[] = {"Arcwright0", "iSCSIPhysicalHBA0", "LogicalHBA0", "se,cret", "3260"};
    const char *newline[] = {"Arcwright0", "iSCSIPhysicalHBA0", "LogicalHBA0", "se\ncret", "3260"};
    EXPECT_EQ(0, vexo_append_persistence_line(kStp, good, 5));
    EXPECT_EQ(1, vexo_append_persistence_line(kStp, comma, 5));
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, vexo_last_status_code);
    EXPECT_EQ(1, vexo_append_persistence_line(kStp, newline, 5));
    EXPECT_EQ(0, vexo_append_persistence_line(kStp, good, 5));
    EXPECT_EQ("Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.1,3260\n"
              "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.1,3260\n",
              hlvdtest::read_file(path(kStp)));
    struct stat st;
    ASSERT_EQ(0, stat(path(kStp).c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
    // A rewrite keeps it owner-only, also when it was wider before.
    chmod(path(kStp).c_str(), 0644);
    EXPECT_EQ(0, vexo_rewrite_persistence_file(kStp, VEXO_SAVESTP_FIELDS, nullptr, nullptr));
    ASSERT_EQ(0, stat(path(kStp).c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
}

int change_port(const char *, char (*fields)[VEXO_FIELD_SIZE], int, void *ctx)
{
    std::snprintf(fields[4], VEXO_FIELD_SIZE, "%s", static_cast<const char *>(ctx));
    return VEXO_LINE_CHANGE;
}

TEST_F(PersistenceFiles, RewriteChangesDropsEmptyLinesAndRefusesCommas)
{
    hlvdtest::write_file(path(kStp), "a,b,c,d,1\n\n\na,b,c,d,2");
    char port[] = "99";
    EXPECT_EQ(0, vexo_rewrite_persistence_file(kStp, 5, change_port, port));
    EXPECT_EQ("a,b,c,d,99\na,b,c,d,99\n", hlvdtest::read_file(path(kStp)));
    char bad[] = "9,9";
    EXPECT_EQ(1, vexo_rewrite_persistence_file(kStp, 5, change_port, bad));
    EXPECT_EQ("a,b,c,d,99\na,b,c,d,99\n", hlvdtest::read_file(path(kStp)));
    EXPECT_EQ(0, temporaries());
}

TEST_F(PersistenceFiles, StartupCheckDropsOnlyBadLines)
{
    const std::string good = tgt_line("Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0", "iqn.t", "10.0.0.1", "3260", "");
    const std::string few_commas = "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,x\n";
    const std::string wrong_key = tgt_line("Adapter0,iSCSIPhysicalHBA0,LogicalHBA0", "iqn.t", "1.1.1.1", "3260", "");
    const std::string too_long = tgt_line("Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0", std::string(1100, 'n').c_str(),
                                          "1.1.1.1", "3260", "");
    std::string nul = good;
    nul[5] = '\0';
    hlvdtest::write_file(path(kTgt), few_commas + good + wrong_key + too_long + nul + good);
    chmod(path(kTgt).c_str(), 0644);
    EXPECT_EQ(0, VEXO_check_for_corrupted_database());
    EXPECT_EQ(good + good, hlvdtest::read_file(path(kTgt)));
    struct stat st;
    ASSERT_EQ(0, stat(path(kTgt).c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
}

int toggle(const char *line, char (*fields)[VEXO_FIELD_SIZE], int, void *)
{
    std::snprintf(fields[4], VEXO_FIELD_SIZE, "%s", std::strstr(line, ",old") ? "new" : "old");
    return VEXO_LINE_CHANGE;
}

TEST_F(PersistenceFiles, KilledRewriterLeavesOldOrNewFile)
{
    std::string old_text, new_text;
    for (int i = 0; i < 200; ++i) {
        old_text += "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0." + std::to_string(i) + ",old\n";
        new_text += "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0." + std::to_string(i) + ",new\n";
    }
    hlvdtest::write_file(path(kStp), old_text);
    for (int round = 0; round < 20; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            while (true)
                vexo_rewrite_persistence_file(kStp, 5, toggle, nullptr);
        }
        usleep(static_cast<useconds_t>(1000 + round * 700));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::string now = hlvdtest::read_file(path(kStp));
        ASSERT_TRUE(now == old_text || now == new_text) << "round " << round;
    }
    // The next write removes whatever temporary file a killed writer left.
    EXPECT_EQ(0, vexo_rewrite_persistence_file(kStp, 5, nullptr, nullptr));
    EXPECT_EQ(0, temporaries());
}

TEST_F(PersistenceFiles, AppendRacingRewriteLosesNoLine)
{
    hlvdtest::write_file(path(kStp), "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,seed,old\n");
    const int kLines = 200;
    pid_t rewriter = fork();
    ASSERT_GE(rewriter, 0);
    if (rewriter == 0) {
        for (int i = 0; i < 400; ++i)
            vexo_rewrite_persistence_file(kStp, 5, nullptr, nullptr);
        _exit(0);
    }
    int failed = 0;
    for (int i = 0; i < kLines; ++i) {
        std::string ip = "10.1.0." + std::to_string(i);
        const char *f[] = {"Arcwright0", "iSCSIPhysicalHBA0", "LogicalHBA0", ip.c_str(), "x"};
        failed += vexo_append_persistence_line(kStp, f, 5);
    }
    int status = 0;
    waitpid(rewriter, &status, 0);
    EXPECT_EQ(0, failed);
    std::string text = hlvdtest::read_file(path(kStp));
    for (int i = 0; i < kLines; ++i)
        EXPECT_NE(std::string::npos, text.find(",10.1.0." + std::to_string(i) + ",x\n")) << i;
}

TEST_F(PersistenceFiles, ConfiguredProfileLines)
{
    const char *file = VEXO_CONFIG_PROFILE_FILE;
    EXPECT_EQ(0, vexo_replace_cprofile_lines("S1", "0x6", "S1,0x6,5,None,0x0,NIC,N/A\nS1,0x6,5,None,0x0,NIC+RoCE,N/A\n"
                                                           "S1,0x6,5,None,0x1,iSCSI,N/A\n"));
    EXPECT_EQ(0, vexo_replace_cprofile_lines("S2", "0x7", "S2,0x7,5,None,0x0,NIC,Enabled\n"));
    // A second build of the same adapter replaces, never duplicates.
    EXPECT_EQ(0, vexo_replace_cprofile_lines("S1", "0x6", "S1,0x6,5,None,0x0,NIC,N/A\nS1,0x6,5,None,0x0,NIC+RoCE,N/A\n"
                                                           "S1,0x6,5,None,0x1,iSCSI,N/A\nS1,0x6,5,None,0x1,iSCSI,N/A\n"));
    EXPECT_EQ("S2,0x7,5,None,0x0,NIC,Enabled\nS1,0x6,5,None,0x0,NIC,N/A\nS1,0x6,5,None,0x0,NIC+RoCE,N/A\n"
              "S1,0x6,5,None,0x1,iSCSI,N/A\n",
              hlvdtest::read_file(path(file)));
    char props[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE];
    ASSERT_EQ(0, vexo_find_cprofile_line("s1", "0x6", "0x0", props, 1));
    EXPECT_STREQ("NIC+RoCE", props[5]);
    EXPECT_EQ(0, vexo_set_cprofile_field("S1", "0x6", nullptr, "7", 0, 2));
    EXPECT_EQ(1, vexo_set_cprofile_field("S1", "0x6", nullptr, "7,8", 0, 2));
    ASSERT_EQ(0, vexo_find_cprofile_line("S2", "0x7", "0x0", props, 1));
    EXPECT_STREQ("5", props[2]); // another adapter's line is left
    ASSERT_EQ(0, vexo_find_cprofile_line("S1", "0x6", "0x1", props, 1));
    EXPECT_STREQ("7", props[2]);
    EXPECT_EQ(1, vexo_find_cprofile_line("S3", "0x6", nullptr, props, 0));
    EXPECT_EQ(0, VEXO_delete_cfg_prof_from_file("S2", "0x7"));
    EXPECT_EQ(1, vexo_find_cprofile_line("S2", "0x7", nullptr, props, 0));
    struct stat st;
    ASSERT_EQ(0, stat(path(file).c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);
}

} // namespace
