// The builders of the profile, link-configuration, NC-SI, trace-module and
// event-log groups make their instances where the back end asks for them:
// right size, right names, and numbered per parent, so that groups of the
// same name on different paths or adapters do not share instance numbers.
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"
#include "mgmt/aw/vexo-backend/nodes_profile.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

using builder = node *(*)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

class ProfileNcsiLogBuilders : public NodeTreeTest {
protected:
    // Builds one instance, checks its display name and how many nodes the
    // call registered (the group and its properties).
    node *build(builder b, node *parent, const char *display, int nodes)
    {
        EXPECT_NE(nullptr, parent) << display;
        if (!parent)
            return nullptr;
        int before = registered_nodes();
        node *g = b(parent, nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, g) << display;
        if (!g)
            return nullptr;
        char name[VEXO_MAX_NAME_SIZE];
        vexo_display_name(g, name);
        EXPECT_STREQ(display, name);
        EXPECT_EQ(nodes, registered_nodes() - before) << display;
        EXPECT_EQ(parent, g->parent) << display;
        return g;
    }

    std::string value_of(node *group, const char *property)
    {
        char buf[VEXO_VALUE_SIZE] = "";
        node *p = internal_get_node(group, property, VEXO_NODE_PROPERTY);
        if (!p || VEXO_get_property_val(group->node_tag, p->node_tag, buf, sizeof buf) != VEXO_STATUS_SUCCESS)
            return "error";
        return buf;
    }
};

TEST_F(ProfileNcsiLogBuilders, EachBuilderMakesItsGroupUnderItsParentPerAdapter)
{
    node *adapters[2] = {initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr),
                         initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr)};
    ASSERT_TRUE(adapters[0] && adapters[1]);

    for (node *a : adapters) {
        node *links = fixed_group(a, "LinkReconfiguration");
        node *profiles = fixed_group(a, "ProfileManagement");
        node *active = fixed_group(a, "ProfileManagement/ActiveProfile");
        node *configured = fixed_group(a, "ProfileManagement/ConfiguredProfile");

        build(initialize_LinkConfig, links, "LinkConfig0", 3);
        build(initialize_LinkConfig, links, "LinkConfig1", 3);

        node *profile0 = build(initialize_Profile, profiles, "Profile0", 3);
        node *profile1 = build(initialize_Profile, profiles, "Profile1", 3);
        build(initialize_Profile_Protocol, profile0, "Protocol0", 3);
        build(initialize_Profile_Protocol, profile0, "Protocol1", 3);
        build(initialize_Profile_Protocol, profile1, "Protocol0", 3);

        // Port and Function below the two profiles each count on their own.
        node *aport0 = build(initialize_ActiveProfile_Port, active, "Port0", 7);
        node *aport1 = build(initialize_ActiveProfile_Port, active, "Port1", 7);
        node *cport0 = build(initialize_ConfiguredProfile_Port, configured, "Port0", 2);
        build(initialize_ActiveProfile_Port_Function, aport0, "Function0", 5);
        build(initialize_ActiveProfile_Port_Function, aport1, "Function0", 5);
        build(initialize_ActiveProfile_Port_Function, aport1, "Function1", 5);
        node *cfn = build(initialize_ConfiguredProfile_Port_Function, cport0, "Function0", 7);

        build(initialize_NCSIStaticConfiguration, fixed_group(a, "NCSI"), "NCSIStaticConfiguration0", 7);
        build(initialize_NCSIDynamicConfiguration, fixed_group(a, "NCSI"), "NCSIDynamicConfiguration0", 6);

        node *module0 = build(initialize_ExtFATModule, fixed_group(a, "ExtFATData"), "ExtFATModule0", 3);
        node *module1 = build(initialize_ExtFATModule, fixed_group(a, "ExtFATData"), "ExtFATModule1", 3);
        for (node *m : {module0, module1}) {
            build(initialize_ExtFATMode, m, "ExtFATMode0", 5);
            build(initialize_ExtFATMode, m, "ExtFATMode1", 5);
        }

        build(initialize_EventLogEntry, fixed_group(a, "EventLog"), "EventLogEntry0", 6);
        build(initialize_EventLogEntry, fixed_group(a, "EventLog"), "EventLogEntry1", 6);
        ASSERT_FALSE(HasFailure());

        // A few cached defaults, as the back end finds them before it writes its values.
        EXPECT_EQ("None", value_of(aport0, "MCType"));
        EXPECT_EQ("None", value_of(cport0, "MCType"));
        // AvailableProtocols is read from the firmware, which this bare tree lacks: its default is cached.
        EXPECT_STREQ("NIC", internal_get_node(cfn, "AvailableProtocols", VEXO_NODE_PROPERTY)->u.prop->val);
        // So is a trace mode's PCIFunctionMask, which its handler reads from the firmware's trace block.
        EXPECT_STREQ("0xFFFFFFFFFFFFFFFF",
                     internal_get_node(fixed_group(module1, "ExtFATMode1"), "PCIFunctionMask", VEXO_NODE_PROPERTY)
                         ->u.prop->val);
        EXPECT_EQ("", value_of(profile0, "ProfileDescription"));
    }
}

} // namespace
