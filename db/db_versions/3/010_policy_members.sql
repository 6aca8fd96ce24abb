-- The policies among a domain's members, found without reading its other
-- members: a policy's domain id row names the domain and its table in
-- SRC_TABLE ("<domain id>_tftp_policy").
CREATE INDEX osk_domain_id_member_table ON osk_domain_id (SRC_TABLE);
-- The stored policies of a request no longer go from a domain's members to
-- their secured objects and on to the policies among them.
DROP INDEX osk_secured_object_mships;
DROP INDEX tftp_policy_secured;
