-- The rows of one owner, in order: the link rows of an owner's attribute by
-- key (link2many.src.ref_name) and an account's access controls by domain
-- (access_control.access_id, user_access_control.access_id). Each index
-- holds the owner's columns and then the order's, and each statement orders
-- by all of them (the same order, since the owner's columns are fixed), so
-- Firebird reads the owner's rows along that one index. With the order's
-- column indexed on its own, it walked that index through the whole table
-- and checked every row against the owner's index.
DROP INDEX osk_domain_mships_links_src;
CREATE INDEX osk_domain_mships_links_src ON osk_domain_mships_links (SRC_ATTR_NAME, SRC_ATTR_REF, PK);
DROP INDEX osk_role_links_src;
CREATE INDEX osk_role_links_src ON osk_role_links (SRC_ATTR_NAME, SRC_ATTR_REF, PK);
DROP INDEX osk_sql_arg_links_src;
CREATE INDEX osk_sql_arg_links_src ON osk_sql_arg_links (SRC_ATTR_NAME, SRC_ATTR_REF, PK);
DROP INDEX osk_sql_target_links_src;
CREATE INDEX osk_sql_target_links_src ON osk_sql_target_links (SRC_ATTR_NAME, SRC_ATTR_REF, PK);
DROP INDEX osk_access_control_access;
CREATE INDEX osk_access_control_access ON osk_access_control (ACCESS_ID, DOMAIN_ID);
DROP INDEX osk_user_access_control_access;
CREATE INDEX osk_user_access_control_access ON osk_user_access_control (ACCESS_ID, DOMAIN_ID);
-- The stored policies of a request start from the device's account and go
-- to its access controls.
CREATE INDEX osk_access_control_account ON osk_access_control (ACCOUNT_REF);
-- From the members of the account's domains to the policies among them.
CREATE INDEX osk_secured_object_mships ON osk_secured_object (DOM_MEMBERSHIPS_REF);
CREATE INDEX tftp_policy_secured ON tftp_policy (SECURED_REF);
