-- params: Ordem_Servico_ID
-- Whether the order travels under transport documents (CTAC) of its containers.
-- An unknown order answers no row.
CREATE PROCEDURE SP_VLM_CON_OS_CTAC(IN p_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT os.FLAG_CTAC AS flag_ctac_os
    FROM ORDEM_SERVICO os
   WHERE os.ORDEM_SERVICO_ID = p_Ordem_Servico_ID;
END
