#include "node_table_check.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"

namespace nodestest {

const char kNoAdapterMachine[] = R"({
  "comment": "no converged adapter: the tests build the adapter tree themselves",
  "host": { "release": "VMware ESXi 6.7.0 build-8169922", "banner": "VMware ESXi 6.7.0" },
  "adapters": []
})";

void NodeTreeTest::SetUp()
{
    start_ = vexo_counter;
    // Without adapters the start answers 1, and the root stands.
    ASSERT_EQ(VEXO_STATUS_FAILURE, VEXO_init());
    ASSERT_NE(nullptr, get_node(0));
}

void NodeTreeTest::TearDown()
{
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_exit());
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
}

namespace {

std::vector<std::string> split(const std::string &s, const std::string &sep)
{
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        size_t at = s.find(sep, from);
        if (at == std::string::npos) {
            out.push_back(s.substr(from));
            return out;
        }
        out.push_back(s.substr(from, at - from));
        from = at + sep.size();
    }
}

int type_of(const std::string &name)
{
    if (name == "string")
        return VEXO_TYPE_STRING;
    if (name == "integer")
        return VEXO_TYPE_INTEGER;
    if (name == "ip")
        return VEXO_TYPE_IP;
    if (name == "subnetmask")
        return VEXO_TYPE_SUBNETMASK;
    if (name == "list")
        return VEXO_TYPE_LIST;
    return -1;
}

const char *type_name(int type)
{
    switch (type) {
    case VEXO_TYPE_STRING:
        return "string";
    case VEXO_TYPE_INTEGER:
        return "integer";
    case VEXO_TYPE_IP:
        return "ip";
    case VEXO_TYPE_SUBNETMASK:
        return "subnetmask";
    case VEXO_TYPE_LIST:
        return "list";
    default:
        return "?";
    }
}

bool parse_limits(const std::string &text, int32_t *minval, int32_t *maxval)
{
    long long lo = 0;
    long long hi = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%lld..%lld%c", &lo, &hi, &rest) != 2)
        return false;
    *minval = static_cast<int32_t>(lo);
    *maxval = static_cast<int32_t>(hi);
    return true;
}

bool parse_param(const std::string &text, ExpectedParam *p)
{
    std::vector<std::string> w = split(text, " ");
    if (w.size() < 4 || (w[0] != "M" && w[0] != "O"))
        return false;
    p->mandatory = w[0] == "M";
    p->name = w[1];
    p->datatype = type_of(w[2]);
    if (p->datatype < 0 || !parse_limits(w[3], &p->minval, &p->maxval))
        return false;
    for (size_t i = 4; i < w.size(); ++i)
        p->list += (i > 4 ? " " : "") + w[i];
    return true;
}

std::string describe_param(const ExpectedParam &p)
{
    std::ostringstream s;
    s << (p.mandatory ? "M " : "O ") << p.name << " " << type_name(p.datatype) << " " << p.minval << ".."
      << p.maxval << " [" << p.list << "]";
    return s.str();
}

// One node as a line of text, everything but its handler.
std::string describe(const ExpectedNode &e)
{
    std::ostringstream s;
    s << std::string(static_cast<size_t>(e.depth) * 2, ' ');
    switch (e.kind) {
    case VEXO_NODE_GROUP:
        s << "G " << e.name;
        break;
    case VEXO_NODE_PROPERTY:
        s << "P " << e.name << " " << (e.flag == VEXO_PROP_READONLY ? "RO" : e.flag == VEXO_PROP_READWRITE ? "RW" : "?")
          << " " << type_name(e.datatype) << " " << e.minval << ".." << e.maxval << " default [" << e.default_val
          << "] list [" << e.list << "]";
        break;
    case VEXO_NODE_ACTION:
        s << "A " << e.name << " (";
        for (size_t i = 0; i < e.params.size(); ++i)
            s << (i ? "; " : "") << describe_param(e.params[i]);
        s << ")";
        break;
    default:
        s << "kind " << e.kind << " " << e.name;
    }
    return s.str();
}

uintptr_t address_of(property_function f)
{
    return reinterpret_cast<uintptr_t>(f);
}
uintptr_t address_of(action_function f)
{
    return reinterpret_cast<uintptr_t>(f);
}
uintptr_t address_of(group_function f)
{
    return reinterpret_cast<uintptr_t>(f);
}

// The actual node read back: the access flag, cached value and list from
// its record (a bound handler would answer a read with device data), the
// datatype, limits and parameters through the API.
ExpectedNode read_back(const OwnNode &o, uintptr_t *handler)
{
    ExpectedNode a;
    node *n = o.n;
    a.depth = o.depth;
    a.kind = n->node_type;
    a.name = n->node_name ? n->node_name : "(null)";
    *handler = 0;
    if (n->node_type == VEXO_NODE_GROUP) {
        *handler = address_of(n->u.grp->group_handler);
    } else if (n->node_type == VEXO_NODE_PROPERTY) {
        const property *p = n->u.prop;
        VEXO_node_info info;
        std::memset(&info, 0, sizeof info);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_node_description(n->node_tag, &info)) << a.name;
        EXPECT_EQ(VEXO_NODE_PROPERTY, info.node_type) << a.name;
        a.flag = p->flag;
        a.datatype = info.data_type;
        a.minval = info.minval;
        a.maxval = info.maxval;
        a.default_val = std::string(p->val, strnlen(p->val, sizeof p->val));
        a.list = std::string(p->list, strnlen(p->list, sizeof p->list));
        *handler = address_of(p->func);
    } else if (n->node_type == VEXO_NODE_ACTION) {
        VEXO_param_info info;
        std::memset(&info, 0, sizeof info);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_param_info(n->node_tag, &info)) << a.name;
        for (int i = 0; i < info.param_count && i < VEXO_MAX_PARAMS; ++i) {
            const VEXO_param &vp = info.params[i];
            ExpectedParam ep;
            ep.mandatory = vp.mandatory != 0;
            ep.name = std::string(vp.param_name, strnlen(vp.param_name, sizeof vp.param_name));
            ep.datatype = vp.datatype;
            ep.minval = vp.minval;
            ep.maxval = vp.maxval;
            ep.list = std::string(vp.list, strnlen(vp.list, sizeof vp.list));
            a.params.push_back(ep);
            EXPECT_NE('\0', vp.param_desc[0]) << a.name << " " << ep.name << " has no description";
        }
        EXPECT_LE(info.param_count, VEXO_MAX_PARAMS) << a.name;
        EXPECT_EQ(0, n->u.act->scope) << a.name;
        *handler = address_of(n->u.act->func);
    }
    return a;
}

void collect(node *g, int depth, std::vector<OwnNode> *out)
{
    for (node *c = g->u.grp->next_child; c && c != g; c = c->next_sibling) {
        if (vexo_is_instance(c))
            continue;
        out->push_back({c, depth});
        if (c->node_type == VEXO_NODE_GROUP)
            collect(c, depth + 1, out);
    }
}

bool persistency_empty(const persistency &p)
{
    for (int i = 0; i < VEXO_MAX_PARAMS; ++i)
        for (int j = 0; j < VEXO_VALUE_SIZE; ++j)
            if (p.params[i][j] != '\0')
                return false;
    return !p.context && !p.action && p.priority == 0;
}

} // namespace

std::vector<ExpectedNode> parse_table(const ExpectedTable &t)
{
    std::vector<ExpectedNode> rows;
    int depth = 0;
    for (size_t i = 0; i < t.row_count; ++i) {
        std::string line = t.rows[i];
        if (line == "}") {
            --depth;
            EXPECT_GE(depth, 0) << t.group << ": unbalanced row " << i;
            continue;
        }
        std::vector<std::string> f = split(line.substr(line.size() > 2 ? 2 : 0), " | ");
        ExpectedNode e;
        e.depth = depth;
        e.name = f[0];
        bool ok = line.size() > 2 && line[1] == ' ';
        switch (line[0]) {
        case 'G':
            e.kind = VEXO_NODE_GROUP;
            ok = ok && f.size() <= 2;
            if (f.size() == 2)
                e.handler = f[1];
            ++depth;
            break;
        case 'P':
            e.kind = VEXO_NODE_PROPERTY;
            ok = ok && f.size() == 7;
            if (ok) {
                e.flag = f[1] == "RO" ? VEXO_PROP_READONLY : f[1] == "RW" ? VEXO_PROP_READWRITE : -1;
                e.datatype = type_of(f[2]);
                ok = e.flag > 0 && e.datatype >= 0 && parse_limits(f[3], &e.minval, &e.maxval);
                e.default_val = f[4];
                e.list = f[5];
                e.handler = f[6];
            }
            break;
        case 'A':
            e.kind = VEXO_NODE_ACTION;
            ok = ok && f.size() == 3;
            if (ok) {
                e.handler = f[1];
                if (!f[2].empty()) {
                    for (const std::string &pt : split(f[2], "; ")) {
                        ExpectedParam p;
                        ok = ok && parse_param(pt, &p);
                        e.params.push_back(p);
                    }
                }
            }
            break;
        default:
            ok = false;
        }
        if (!ok) {
            ADD_FAILURE() << t.group << ": malformed row " << i << ": " << line;
            continue;
        }
        rows.push_back(e);
    }
    EXPECT_EQ(0, depth) << t.group << ": unbalanced table";
    return rows;
}

NodeCounts count_rows(const std::vector<ExpectedNode> &rows)
{
    NodeCounts c;
    c.groups = 1; // the instance group
    for (const ExpectedNode &e : rows) {
        c.groups += e.kind == VEXO_NODE_GROUP;
        c.properties += e.kind == VEXO_NODE_PROPERTY;
        c.actions += e.kind == VEXO_NODE_ACTION;
    }
    return c;
}

std::vector<OwnNode> own_nodes(node *instance)
{
    std::vector<OwnNode> out;
    if (instance && instance->node_type == VEXO_NODE_GROUP && instance->u.grp)
        collect(instance, 0, &out);
    return out;
}

void expect_instance_matches(node *instance, const ExpectedTable &t, Bindings *b)
{
    ASSERT_NE(nullptr, instance);
    ASSERT_TRUE(vexo_is_instance(instance)) << t.group;
    EXPECT_STREQ(t.group, instance->node_name);
    const struct multi_instance *mi = instance->u.grp->multi_instance;
    EXPECT_EQ(t.max_instances, mi->max_instance) << t.group;
    EXPECT_EQ(0, mi->start_instance) << t.group;
    EXPECT_NE('\0', instance->node_desc[0]) << t.group << " has no description";
    uintptr_t refresh = address_of(instance->u.grp->group_handler);
    if (t.group_handler[0] == '\0') {
        EXPECT_EQ(0u, refresh) << t.group << " has a refresh handler";
    } else {
        b->by_name[t.group_handler].insert(refresh);
    }

    std::vector<ExpectedNode> expected = parse_table(t);
    std::vector<OwnNode> actual = own_nodes(instance);
    EXPECT_EQ(expected.size(), actual.size()) << t.group << ": number of nodes";
    for (size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
        uintptr_t handler = 0;
        ExpectedNode a = read_back(actual[i], &handler);
        const ExpectedNode &e = expected[i];
        if (describe(e) != describe(a)) {
            // After one difference the rest is shifted; the first one tells.
            ADD_FAILURE() << t.group << ": node " << i << " differs\n  expected: " << describe(e)
                          << "\n  built:    " << describe(a);
            return;
        }
        node *n = actual[i].n;
        EXPECT_NE('\0', n->node_desc[0]) << t.group << " " << e.name << " has no description";
        if (n->node_type == VEXO_NODE_GROUP) {
            EXPECT_EQ(nullptr, n->u.grp->multi_instance) << e.name << " is a fixed group";
            EXPECT_TRUE(persistency_empty(n->u.grp->persistency_info)) << e.name;
            EXPECT_EQ(nullptr, n->u.grp->handle) << e.name;
        }
        if (e.handler.empty()) {
            EXPECT_EQ(0u, handler) << t.group << " " << e.name << " has a handler";
        } else {
            b->by_name[e.handler].insert(handler);
        }
    }
    // Built by enumeration: an empty creation record.
    EXPECT_TRUE(persistency_empty(instance->u.grp->persistency_info)) << t.group;
}

void expect_bindings_consistent(const Bindings &b)
{
    const uintptr_t internal = address_of(handle_internal_property);
    std::map<uintptr_t, std::string> owner;
    for (const auto &entry : b.by_name) {
        const std::string &name = entry.first;
        const std::set<uintptr_t> &bound = entry.second;
        EXPECT_EQ(1u, bound.size()) << name << " is bound to different functions";
        uintptr_t f = *bound.begin();
        if (name == "handle_internal_property") {
            EXPECT_EQ(internal, f) << name;
            continue;
        }
        EXPECT_NE(internal, f) << name << " is bound to handle_internal_property";
        if (f == 0) {
            // Every handler the tables name exists now: none is bound null.
            ADD_FAILURE() << name << " is bound null";
            continue;
        }
        auto seen = owner.emplace(f, name);
        EXPECT_TRUE(seen.second) << name << " and " << seen.first->second << " are bound to one function";
    }
}

node *fixed_group(node *from, const char *path)
{
    node *g = from;
    for (const std::string &part : split(path, "/")) {
        if (!g)
            return nullptr;
        g = internal_get_node(g, part.c_str(), VEXO_NODE_GROUP);
    }
    return g;
}

std::vector<std::string> child_names(node *g)
{
    std::vector<std::string> names;
    for (node *c = g->u.grp->next_child; c && c != g; c = c->next_sibling) {
        char display[VEXO_MAX_NAME_SIZE];
        vexo_display_name(c, display);
        names.push_back(display);
    }
    return names;
}

int registered_nodes()
{
    int count = 0;
    for (node_tag_t tag = 0; tag < hierarchy_name_.max_nodes; ++tag)
        count += get_node(tag) != nullptr;
    return count;
}

namespace {

int probe_writes = 0;
std::string probe_value;
int probe_actions = 0;
char probe_params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];

VEXO_status_t write_probe(node *, char *value, int type)
{
    if (type == 1) {
        probe_writes++;
        probe_value = value;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t action_probe(node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    probe_actions++;
    std::memcpy(probe_params, params, sizeof probe_params);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

std::vector<std::string> names_of_rows(const ExpectedTable &t)
{
    std::vector<std::string> names;
    for (const ExpectedNode &e : parse_table(t))
        if (e.depth == 0)
            names.push_back(e.name);
    return names;
}

std::vector<std::string> plus(std::vector<std::string> head, const std::vector<std::string> &tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

void expect_write_checked(node *group, const char *property, const char *value, int status)
{
    ASSERT_NE(nullptr, group);
    node *p = internal_get_node(group, property, VEXO_NODE_PROPERTY);
    ASSERT_NE(nullptr, p) << property;

    property_function bound = p->u.prop->func;
    p->u.prop->func = write_probe;
    probe_writes = 0;
    probe_value.clear();
    char buf[VEXO_VALUE_SIZE];
    std::snprintf(buf, sizeof buf, "%s", value);
    VEXO_status_t r = VEXO_set_property_val(group->node_tag, p->node_tag, buf, sizeof buf);
    p->u.prop->func = bound;

    VEXO_status_t code = VEXO_STATUS_UNKNOWN_ERROR;
    char text[VEXO_LAST_STATUS_SIZE] = "";
    VEXO_get_last_status(&code, text);
    if (status == 0) {
        EXPECT_EQ(VEXO_STATUS_SUCCESS, r) << text;
        EXPECT_EQ(1, probe_writes);
        EXPECT_EQ(value, probe_value);
    } else {
        EXPECT_EQ(VEXO_STATUS_FAILURE, r);
        EXPECT_EQ(status, static_cast<int>(code)) << text;
        EXPECT_EQ(0, probe_writes) << "a refused value reached the handler";
    }
}

void expect_action_checked(node *group, const char *action_name, const std::vector<const char *> &params, int status,
                           const char *text)
{
    ASSERT_NE(nullptr, group);
    node *act = internal_get_node(group, action_name, VEXO_NODE_ACTION);
    ASSERT_NE(nullptr, act) << action_name;
    char block[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(block, 0, sizeof block);
    for (int i = 0; i < VEXO_MAX_PARAMS; ++i)
        block[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);
    for (size_t i = 0; i < params.size() && i < VEXO_MAX_PARAMS; ++i)
        if (params[i])
            std::snprintf(block[i], VEXO_VALUE_SIZE, "%s", params[i]);

    action *record = act->u.act;
    action_function bound = record->func;
    record->func = action_probe;
    probe_actions = 0;
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    VEXO_status_t r = VEXO_do_action(group->node_tag, act->node_tag, block, new_tags);
    record->func = bound;

    VEXO_status_t code = VEXO_STATUS_UNKNOWN_ERROR;
    char last[VEXO_LAST_STATUS_SIZE] = "";
    VEXO_get_last_status(&code, last);
    if (status != 0) {
        EXPECT_EQ(VEXO_STATUS_FAILURE, r);
        EXPECT_EQ(status, static_cast<int>(code));
        EXPECT_STREQ(text, last);
        EXPECT_EQ(0, probe_actions) << "refused parameters reached the handler";
        return;
    }
    EXPECT_EQ(VEXO_STATUS_SUCCESS, r) << last;
    ASSERT_EQ(1, probe_actions);
    for (size_t i = 0; i < params.size() && i < VEXO_MAX_PARAMS; ++i) {
        if (params[i]) {
            EXPECT_STREQ(params[i], probe_params[i]);
        }
    }
}

} // namespace nodestest
